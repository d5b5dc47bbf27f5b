#!/usr/bin/env bash
# Installs what is missing, builds the program, makes the gold files that the JDK can give and
# shows how to use it, then runs an IOS test with its access test on the bundled example delivery.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
BUILD_DIR=build bash scripts/build.sh -DVELM_BUILD_TESTS=OFF -DVELM_BUILD_BENCH=OFF
BUILD_DIR=build bash scripts/make-gold-data.sh
# Help ends the program with status 1 by design; here it is the expected outcome.
./build/velm-jct --help || true

# The example (examples/ios-delivery/): a delivery of three classes in com.example.thermo and the
# framework it runs on, release 2.0, given as the framework classpath. The delivery was compiled
# against release 1.0, whose two differing classes are in framework-1.0/: 2.0 dropped LegacyCodec
# and made Registry.lookup package-private. Everything is compiled for Java 8.
EXAMPLE=examples/ios-delivery
OUT=build/example
rm -rf "$OUT"
mkdir -p "$OUT/framework" "$OUT/framework-1.0" "$OUT/classes" "$OUT/logs"
compile() { # <output directory> <source directory> [javac options]
    local out=$1 sources=$2
    shift 2
    mapfile -t files < <(find "$sources" -name '*.java' | sort)
    javac --release 8 -nowarn -encoding UTF-8 -d "$out" "$@" "${files[@]}"
}
compile "$OUT/framework" "$EXAMPLE/framework"
jar cf "$OUT/framework.jar" -C "$OUT/framework" .
compile "$OUT/framework-1.0" "$EXAMPLE/framework-1.0" -classpath "$OUT/framework"
compile "$OUT/classes" "$EXAMPLE/src" -classpath "$OUT/framework-1.0:$OUT/framework.jar"
jar cf "$OUT/thermo.jar" -C "$OUT/classes" .

results=$OUT/logs/results.txt
log=$OUT/logs/log.txt
echo
echo "Running the IOS test of $OUT/thermo.jar with the framework classpath $OUT/framework.jar."
echo "The delivery was compiled against framework 1.0; $OUT/framework.jar is release 2.0, which"
echo "dropped LegacyCodec and made Registry.lookup package-private."
echo "data/IOS.javagold and data/VELM_common.javagold are not bundled: expect an ERROR line for"
echo "each. Without IOS the interface test has no classes to check; the access test still runs."
./build/velm-jct --nogui --testios --safetyBase --classpath "$OUT/thermo.jar" \
    --frameworkclasspath "$OUT/framework.jar" --logdir "$OUT/logs"

[ -s "$results" ] || { echo "run-example: the IOS test wrote no $results" >&2; exit 1; }
echo
echo "Access Results, from $results:"
echo
# The group runs from its header to the next group at the same depth (two blanks) or the end.
awk '/^  [^ ]/ { show = ($0 == "  Access Results:") } show' "$results"
echo "Passes are not stored in results.txt, only logged: com.example.thermo.Thermometer has no"
echo "results because every use passes. $log has $(grep -c ' INFO:  = ' "$log") pass lines, such as:"
grep -E ' INFO:  = Method (publish|<init>) in class com\.example\.framework\.' "$log" |
    sed 's/^[^ ]* INFO:  /  /' || true
echo
echo "Results: $results"
echo "Log:     $log"

# The example is only worth showing when each kind of result is there.
for expected in \
    'Class java.lang.reflect.Method reflection informational test: PASS' \
    'Method invokeExact signature polymorphic test: UNKNOWN' \
    'Class com.example.framework.LegacyCodec existence test: FAIL' \
    'Method lookup permission test: FAIL'; do
    grep -qF -- "$expected" "$results" || {
        echo "run-example: $results lacks \"$expected\"" >&2
        exit 1
    }
done
grep -qF ' = Method publish in class com.example.framework.Bus is called correctly.' "$log" || {
    echo "run-example: $log lacks the pass line of Bus.publish" >&2
    exit 1
}
