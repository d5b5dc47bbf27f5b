#!/usr/bin/env bash
# Scale and speed figures, each printed with its goal. Builds the inputs once into a cache
# directory and reuses them on later runs:
#
#   bench/run-scale.sh [options]
#     --build DIR    the build directory with velm-jct and the benchmarks (default: build);
#                    when the programs are missing there, the directory is configured with the
#                    benchmarks switched on and they are built
#     --data DIR     the input cache (default: <build>/bench-data)
#     --only LIST    comma-separated subset of: parse,archive,memory,logging,jdeps,unzip,asm
#     --timeout S    the longest any one timed run may take before it counts as not finished
#                    (default: 1800)
#     --rounds N     the timed rounds of each comparison with a peer program (default: 5)
#
# Inputs (made on first use, from the running JDK's lib/modules with jimage, jar and zip):
#   modules/<module>/...    every JDK module's classes as one directory each
#   all-modules.jar         the same classes as one JAR
#   java.base.jar           the java.base module as one JAR (made by the jar tool)
#   java.base.javagold      a gold file of java.base: the allowed API of the access tests
# module-info.class files are left out everywhere, so that the directories and the JARs hold
# the same classes.
#
# A comparison with a peer program runs both sides alternately, one untimed round each first
# (it fills the page cache), then N timed rounds; it prints each side's median with the fastest
# and slowest round, and the median of the rounds' own ratios with their range. Alternating
# lets a busy neighbour slow both sides alike, and the median leaves out the odd slow round.
#
# Needs a JDK 17 (jimage, jar, jdeps, java), zip, unzip and, for the ASM comparisons, Debian's
# libasm-java (/usr/share/java/asm.jar); perf is optional (logging profile).
set -euo pipefail

note() { printf '%s\n' "$*" >&2; }

here=$(cd "$(dirname "$0")/.." && pwd)
build=$here/build
data=
only=parse,archive,memory,logging,jdeps,unzip,asm
timeout=1800
rounds=5
while [ $# -gt 0 ]; do
    case $1 in
    --build) build=$(mkdir -p "$2" && cd "$2" && pwd); shift 2 ;;
    --data) data=$2; shift 2 ;;
    --only) only=$2; shift 2 ;;
    --timeout) timeout=$2; shift 2 ;;
    --rounds) rounds=$2; shift 2 ;;
    *) echo "unknown option $1" >&2; exit 2 ;;
    esac
done
data=${data:-$build/bench-data}
mkdir -p "$data"
data=$(cd "$data" && pwd)

if [ -z "${JAVA_HOME:-}" ]; then
    JAVA_HOME=$(dirname "$(dirname "$(readlink -f "$(command -v javac)")")")
fi
export JAVA_HOME
jct=$build/velm-jct
scale=$build/bench/velm_scale_bench
parse=$build/bench/velm_parse_bench
asmjar=/usr/share/java/asm.jar
asmwalk=$build/bench/asm-walk
# A build directory configured for the program alone keeps the benchmarks switched off in its
# cache (scripts/run-example.sh leaves build/ so, and later configures keep it): switch them on.
# The programs are brought up to date on every run; that costs nothing when they are.
if [ ! -x "$scale" ] || [ ! -x "$parse" ]; then
    note "configuring $build with the benchmarks"
    cmake -S "$here" -B "$build" -G Ninja -DVELM_BUILD_BENCH=ON >&2
fi
cmake --build "$build" --target velm-jct velm_scale_bench velm_parse_bench >&2
for tool in "$jct" "$scale" "$parse"; do
    [ -x "$tool" ] || { echo "missing $tool: the build did not make it" >&2; exit 1; }
done

wants() { case ",$only," in *",$1,"*) return 0 ;; *) return 1 ;; esac; }

# ---- inputs -------------------------------------------------------------------------------

make_inputs() {
    if [ ! -f "$data/modules.done" ]; then
        note "extracting all modules from $JAVA_HOME/lib/modules"
        rm -rf "$data/modules"
        "$JAVA_HOME/bin/jimage" extract --dir "$data/modules" "$JAVA_HOME/lib/modules"
        find "$data/modules" -name module-info.class -delete
        touch "$data/modules.done"
    fi
    if [ ! -f "$data/all-modules.jar" ]; then
        note "packing all modules into one JAR"
        rm -f "$data/all-modules.tmp.jar"
        for m in "$data"/modules/*/; do
            # A module of nothing but its module-info has no classes left to pack.
            if [ -n "$(find "$m" -type f -print -quit)" ]; then
                (cd "$m" && zip -q -r -X "$data/all-modules.tmp.jar" .)
            fi
        done
        mv "$data/all-modules.tmp.jar" "$data/all-modules.jar"
    fi
    if [ ! -f "$data/java.base.jar" ]; then
        note "packing java.base into one JAR"
        "$JAVA_HOME/bin/jar" cf "$data/java.base.tmp.jar" -C "$data/modules/java.base" .
        mv "$data/java.base.tmp.jar" "$data/java.base.jar"
    fi
    if [ ! -f "$data/java.base.javagold" ]; then
        note "building the java.base gold file"
        mkdir -p "$data/log"
        "$jct" --nogui --logdir "$data/log" --classpath "$data/java.base.jar" \
            --buildjavagold "$data/java.base.tmp.javagold" >/dev/null
        mv "$data/java.base.tmp.javagold" "$data/java.base.javagold"
    fi
    moduledirs=$(find "$data/modules" -mindepth 1 -maxdepth 1 -type d | sort | paste -sd:)
    modulecount=$(find "$data/modules" -mindepth 1 -maxdepth 1 -type d | wc -l)
}

# ---- timing helpers -----------------------------------------------------------------------

# Wall time in seconds of one run of a command, its output discarded.
timed() {
    local t0 t1
    t0=$(date +%s.%N)
    "$@" >/dev/null 2>&1 || { note "failed: $*"; return 1; }
    t1=$(date +%s.%N)
    awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.3f", b - a }'
}

# Runs the functions ours and peer alternately (see the file comment) and sets ours_figure and
# peer_figure ("median <m> s (<fastest>-<slowest> s)") and ratio_figure ("<median> (range
# <lowest>-<highest> over <n> alternated rounds").
alternate() {
    local ours_times=() peer_times=() o p r
    timed ours >/dev/null && timed peer >/dev/null || return 1
    for ((r = 0; r < rounds; ++r)); do
        # Each side goes first in every other round, so that neither always follows the other.
        if ((r % 2 == 0)); then
            o=$(timed ours) && p=$(timed peer) || return 1
        else
            p=$(timed peer) && o=$(timed ours) || return 1
        fi
        ours_times+=("$o")
        peer_times+=("$p")
    done
    ours_figure=$(printf '%s\n' "${ours_times[@]}" | spread 'median %.2f s (%.2f-%.2f s)')
    peer_figure=$(printf '%s\n' "${peer_times[@]}" | spread 'median %.2f s (%.2f-%.2f s)')
    ratio_figure=$(paste -d' ' <(printf '%s\n' "${ours_times[@]}") <(printf '%s\n' "${peer_times[@]}") |
        awk '{ print $1 / $2 }' | spread "%.2f (range %.2f-%.2f over $rounds alternated rounds")
}

# The median, the least and the greatest of the numbers on standard input, one a line, printed
# through the format given.
spread() {
    sort -g | awk -v format="$1" '
        { v[NR] = $1 }
        END {
            median = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
            printf format, median, v[1], v[NR]
        }'
}

section() { printf '\n== %s\n' "$*"; }

# ---- figures ------------------------------------------------------------------------------

make_inputs
printf 'inputs in %s: %s module directories, %s classes\n' "$data" "$modulecount" \
    "$(find "$data/modules" -name '*.class' | wc -l)"
printf 'machine: %s cores, load average %s\n' "$(nproc)" "$(cut -d' ' -f1-3 /proc/loadavg)"

if wants parse; then
    section "parse plus dependency extraction of java.base in memory"
    "$parse" "$data/modules/java.base"
fi

if wants archive; then
    section "access test: one archive of all modules against the same classes as directories"
    IFS=: read -r -a dirs <<<"$moduledirs"
    "$scale" archive "$timeout" "$data/java.base.javagold" "$data/all-modules.jar" "${dirs[@]}"
fi

if wants memory; then
    section "peak memory of --listcontents per listed class"
    printf 'all modules as directories: '
    "$scale" memory "$jct" "$moduledirs"
    printf 'all modules as one archive: '
    "$scale" memory "$jct" "$data/all-modules.jar"
fi

if wants logging; then
    section "logging share of the access test of the java.base JAR"
    "$scale" logging "$data/java.base.javagold" "$data/java.base.jar"
    if perf record -q -e cpu-clock -o /dev/null true >/dev/null 2>&1; then
        # The profile's view: the share of the CPU samples of all threads whose stack holds
        # logging code: sending a line (Logger::) in the test's thread, and the logger's thread,
        # which in this benchmark does nothing but receive and write lines. Texts that the test
        # builds before it sends them are not counted. If logging moves into a class of another
        # name, add it to the pattern.
        prof=$(mktemp -d)
        perf record -q -e cpu-clock -F 499 --call-graph dwarf,16384 -o "$prof/perf.data" \
            "$scale" access "$data/java.base.javagold" "$data/java.base.jar" >/dev/null 2>&1
        perf script -i "$prof/perf.data" -F comm,tid,ip,sym 2>/dev/null |
            awk -v re='Logger::|QCoreApplication::exec' '
                /^[^ \t]/ { if (n) { total++; if (hit) logs++ } n = 1; hit = 0; next }
                $0 ~ re { hit = 1 }
                END {
                    if (n) { total++; if (hit) logs++ }
                    if (total)
                        printf "perf: logging in %d of %d CPU samples, %.1f%% (goal <= 10%%)\n",
                            logs, total, 100 * logs / total
                }'
        rm -rf "$prof"
    else
        echo "perf: not usable here (install linux-perf; kernel.perf_event_paranoid may forbid it)"
    fi
fi

if wants jdeps; then
    section "access test of the java.base JAR against jdeps -verbose:class on the same JAR"
    # Both as whole processes, start included.
    ours() { "$scale" access "$data/java.base.javagold" "$data/java.base.jar"; }
    peer() { "$JAVA_HOME/bin/jdeps" -verbose:class "$data/java.base.jar"; }
    alternate
    printf 'access test: %s, jdeps: %s, ratio %s; goal <= 1)\n' "$ours_figure" "$peer_figure" \
        "$ratio_figure"
fi

if wants unzip; then
    section "--listcontents of the java.base JAR against unzip -p of it"
    mkdir -p "$data/log"
    ours() { "$jct" --nogui --listcontents --logdir "$data/log" --classpath "$data/java.base.jar"; }
    peer() { unzip -p "$data/java.base.jar"; }
    alternate
    printf -- '--listcontents: %s, unzip -p: %s, ratio %s; goal <= 3)\n' "$ours_figure" \
        "$peer_figure" "$ratio_figure"
fi

if wants asm; then
    section "--listcontents of all modules against an ASM walk of them, JVM start included"
    if [ -f "$asmwalk/AsmWalk.class" ]; then
        mkdir -p "$data/log"
        IFS=: read -r -a dirs <<<"$moduledirs"
        ours() { "$jct" --nogui --listcontents --logdir "$data/log" --classpath "$moduledirs"; }
        peer() { "$JAVA_HOME/bin/java" -cp "$asmjar:$asmwalk" AsmWalk once "${dirs[@]}"; }
        alternate
        printf -- '--listcontents: %s, ASM walk: %s, ratio %s; goal <= 0.5)\n' "$ours_figure" \
            "$peer_figure" "$ratio_figure"
    else
        echo "not available: the ASM driver is built only when libasm-java is installed"
    fi
fi
