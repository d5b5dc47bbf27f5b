#!/usr/bin/env bash
# Installs what is missing, builds the program, makes the gold files that the JDK can give and
# shows how to use it, then runs an OSS test on the bundled example delivery.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
BUILD_DIR=build bash scripts/build.sh -DVELM_BUILD_TESTS=OFF -DVELM_BUILD_BENCH=OFF
BUILD_DIR=build bash scripts/make-gold-data.sh
# Help ends the program with status 1 by design; here it is the expected outcome.
./build/velm-jct --help || true

# The example delivery: a tiny OSS-like component that implements two classes of the Java SE 8
# API (java.lang.Runnable in full, java.util.Objects in part), compiled for Java 8.
EXAMPLE_OUT=build/example
rm -rf "$EXAMPLE_OUT"
mkdir -p "$EXAMPLE_OUT/classes" "$EXAMPLE_OUT/logs"
mapfile -t sources < <(find examples/oss-component/src -name '*.java' | sort)
javac --release 8 -nowarn -encoding UTF-8 -d "$EXAMPLE_OUT/classes" "${sources[@]}"

echo
echo "Running the OSS test of $EXAMPLE_OUT/classes against data/j2se8.javagold."
echo "data/j2ee8.javagold is not bundled: the program reports it missing and goes on without it."
./build/velm-jct --nogui --testoss --general --classpath "$EXAMPLE_OUT/classes" \
    --logdir "$EXAMPLE_OUT/logs"

# results.txt holds a group for every class of the Java SE 8 API; the example delivers two,
# and every other class is reported as missing. Show the delivered ones in full and count the rest.
results=$EXAMPLE_OUT/logs/results.txt
[ -s "$results" ] || { echo "run-example: the OSS test wrote no $results" >&2; exit 1; }
delivered=$(cd "$EXAMPLE_OUT/classes" && find . -name '*.class' | sed 's#^\./##; s#\.class$##; s#/#.#g')
echo
echo "From $results, the classes that the example delivers:"
echo
awk -v delivered="$delivered" '
    BEGIN { n = split(delivered, names, "\n"); for (i = 1; i <= n; i++) wanted[names[i] ":"] = 1 }
    /^    [^ ].*:$/ { show = ($1 in wanted) }
    show' "$results"
echo "All results: $(grep -c ': PASS$' "$results") PASS, $(grep -c ': FAIL$' "$results") FAIL" \
    "($(grep -c 'could not be loaded from the classpath' "$results") API classes missing from" \
    "the example); the whole tree is in $results."
