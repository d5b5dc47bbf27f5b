#!/usr/bin/env bash
# Makes the two standard gold files that the installed JDK can give, with the program's own gold
# building:
#   data/j2se8.javagold         the release-8 API without the CORBA packages
#   data/FormerlyCORBA.javagold the CORBA packages of Java SE 8 (removed from the JDK in 11)
#
# The JDK describes the API of its earlier releases in lib/ct.sym, a ZIP archive of signature
# files (.sig): class files without method bodies, in folders whose names list the releases
# they belong to ("8", "789", "89ABC", ...), then a module folder, then the package path.
# velm-sig2class makes loadable class files of the release-8 ones, velm-jct --buildjavagold
# builds the gold files, velm-goldmark sets the signature-polymorphic marks that no class file
# carries, and the result is checked before it replaces anything in data/.
#
# Usage: scripts/make-gold-data.sh   (BUILD_DIR names the build directory, default build)
# Safe to run again: every run rebuilds both files from scratch in a temporary directory and
# moves each finished file into data/ in one rename, so data/ never holds a half-written file.
set -euo pipefail
cd "$(dirname "$0")/.."

die() {
    echo "make-gold-data: $*" >&2
    exit 1
}

BUILD_DIR=${BUILD_DIR:-build}
JCT=$BUILD_DIR/velm-jct
SIG2CLASS=$BUILD_DIR/velm-sig2class
GOLDMARK=$BUILD_DIR/velm-goldmark
for tool in "$JCT" "$SIG2CLASS" "$GOLDMARK"; do
    [ -x "$tool" ] || die "$tool is missing; build the project first (scripts/build.sh)"
done

JAVAC=$(command -v javac) || die "javac is not on PATH; install a JDK (scripts/install-deps.sh)"
JDK_HOME=$(dirname "$(dirname "$(readlink -f "$JAVAC")")")
CT_SYM=$JDK_HOME/lib/ct.sym
JAR=$JDK_HOME/bin/jar
[ -f "$CT_SYM" ] || die "$CT_SYM is missing: the JDK of $JAVAC has no API signature files"
[ -x "$JAR" ] || die "$JAR is missing: the JDK of $JAVAC has no jar tool"
PROTOC=$(command -v protoc) || die "protoc is not on PATH; install protobuf-compiler"

# The packages of the module java.corba, which Java 11 removed: in Java SE 8 they are the
# CORBA API, described by FormerlyCORBA.javagold and left out of j2se8.javagold. javax.rmi.ssl
# shares a parent folder with them but belongs to RMI and stays in j2se8.javagold.
CORBA_PACKAGES=(
    javax/activity
    javax/rmi
    javax/rmi/CORBA
    org/omg/CORBA
    org/omg/CORBA/DynAnyPackage
    org/omg/CORBA/ORBPackage
    org/omg/CORBA/TypeCodePackage
    org/omg/CORBA/portable
    org/omg/CORBA_2_3
    org/omg/CORBA_2_3/portable
    org/omg/CosNaming
    org/omg/CosNaming/NamingContextExtPackage
    org/omg/CosNaming/NamingContextPackage
    org/omg/Dynamic
    org/omg/DynamicAny
    org/omg/DynamicAny/DynAnyFactoryPackage
    org/omg/DynamicAny/DynAnyPackage
    org/omg/IOP
    org/omg/IOP/CodecFactoryPackage
    org/omg/IOP/CodecPackage
    org/omg/Messaging
    org/omg/PortableInterceptor
    org/omg/PortableInterceptor/ORBInitInfoPackage
    org/omg/PortableServer
    org/omg/PortableServer/CurrentPackage
    org/omg/PortableServer/POAManagerPackage
    org/omg/PortableServer/POAPackage
    org/omg/PortableServer/ServantLocatorPackage
    org/omg/PortableServer/portable
    org/omg/SendingContext
    org/omg/stub/java/rmi
)

mkdir -p data
WORK=$(mktemp -d data/.make-gold.XXXXXX)
trap 'rm -rf "$WORK"' EXIT
trap 'exit 1' INT TERM

echo "make-gold-data: reading the release-8 API from $CT_SYM"
"$JAR" tf "$CT_SYM" > "$WORK/entries.txt" || die "cannot list $CT_SYM"
grep -E '^[0-9A-Z]*8[0-9A-Z]*/.+\.sig$' "$WORK/entries.txt" > "$WORK/release8.txt" ||
    die "$CT_SYM holds no release-8 signature files"
# Every entry must be <releases>/<module>/<package path>/<Class>.sig.
if grep -vE '^[0-9A-Z]+/(java|javax|jdk)\.[a-z0-9.]+/.+/[^/]+\.sig$' "$WORK/release8.txt" \
    > "$WORK/odd.txt"; then
    die "unexpected layout in $CT_SYM, for example: $(head -n 3 "$WORK/odd.txt" | tr '\n' ' ')"
fi
sed -E 's#^[^/]+/[^/]+/##' "$WORK/release8.txt" | sort | uniq -d > "$WORK/duplicates.txt"
[ ! -s "$WORK/duplicates.txt" ] ||
    die "classes listed twice for release 8: $(head -n 3 "$WORK/duplicates.txt" | tr '\n' ' ')"

# The CORBA list must be exactly what the JDK files under java.corba for release 8.
printf '%s\n' "${CORBA_PACKAGES[@]}" | sort > "$WORK/corba-expected.txt"
grep -E '^[^/]+/java\.corba/' "$WORK/release8.txt" | sed -E 's#^[^/]+/[^/]+/##; s#/[^/]+$##' |
    sort -u > "$WORK/corba-found.txt"
if ! diff "$WORK/corba-expected.txt" "$WORK/corba-found.txt" > "$WORK/corba.diff"; then
    die "the JDK's release-8 java.corba packages differ from the list in this script:
$(cat "$WORK/corba.diff")"
fi

cp "$WORK/release8.txt" "$WORK/se-entries.txt"

mkdir "$WORK/ct"
(cd "$WORK/ct" && xargs -d '\n' "$JAR" xf "$CT_SYM" < ../se-entries.txt) ||
    die "cannot extract the release-8 signature files from $CT_SYM"

# Each <releases>/<module> folder holds package folders; converting them all into one tree
# merges the releases and drops the module level.
for moduleDir in "$WORK"/ct/*/*/; do
    "$SIG2CLASS" "$moduleDir" "$WORK/se" > /dev/null ||
        die "velm-sig2class could not convert the signature files under $moduleDir"
done
expected=$(wc -l < "$WORK/se-entries.txt")
converted=$(find "$WORK/se" -name '*.class' | wc -l)
[ "$converted" -eq "$expected" ] || die "$converted class files made from $expected signature files"

for package in "${CORBA_PACKAGES[@]}"; do
    mkdir -p "$WORK/corba/$package"
    # Only the package's own classes: subfolders may be other packages (javax/rmi/ssl).
    find "$WORK/se/$package" -maxdepth 1 -name '*.class' -exec mv -t "$WORK/corba/$package" {} +
done

# Gold building logs into log.txt and ends with status 0 whatever happened, so its log is
# the witness: any WARN (a rejected class) or ERROR fails the run.
build_gold() { # <class directory> <gold file>
    local log
    log="$WORK/log-$(basename "$2")"
    mkdir -p "$log"
    "$JCT" --nogui --buildjavagold "$2" --classpath "$1" --logdir "$log" > /dev/null 2>&1 ||
        die "velm-jct --buildjavagold $2 failed; see $log/log.txt"
    if grep -E '^[^ ]+ (WARN|ERROR): ' "$log/log.txt" > "$WORK/problems.txt"; then
        die "building $(basename "$2") reported problems:
$(head -n 20 "$WORK/problems.txt")"
    fi
    [ -s "$2" ] || die "velm-jct --buildjavagold wrote no $2"
}
echo "make-gold-data: building the gold files"
build_gold "$WORK/se" "$WORK/j2se8.javagold"
build_gold "$WORK/corba" "$WORK/FormerlyCORBA.javagold"

"$GOLDMARK" "$WORK/j2se8.javagold" "$WORK/j2se8.javagold" 'Ljava/lang/invoke/MethodHandle;' \
    invoke invokeExact > /dev/null || die "cannot mark MethodHandle.invoke and invokeExact"

# Checks on the content, read back as text with the schema.
decode() { # <gold file> <text file>
    "$PROTOC" --decode=JClasses -I src/proto JavaTypes.proto < "$1" > "$2" ||
        die "$1 is no valid gold file"
}
decode "$WORK/j2se8.javagold" "$WORK/j2se8.txt"
decode "$WORK/FormerlyCORBA.javagold" "$WORK/corba.txt"
# In the text form a class starts with "classes {" at the left margin, its own fields are
# indented by two spaces and its members' fields by four.
class_names() { grep -E '^  name: "' "$1" | sed -E 's/^  name: "L(.*);"$/\1/'; }
methods_of() { # <text file> <class descriptor>
    awk -v cls="  name: \"$2\"" '/^classes \{/ { inside = 0 } $0 == cls { inside = 1 }
        /^  methods \{/ { method = 1 } /^  \}/ { method = 0 }
        inside && method && /^    name: "/ { print $2 }' "$1" | tr -d '"'
}
count_classes() { grep -c '^classes {' "$1" || true; }

se_count=$(count_classes "$WORK/j2se8.txt")
corba_count=$(count_classes "$WORK/corba.txt")
if [ "$se_count" -lt 3800 ] || [ "$se_count" -gt 4400 ]; then
    die "j2se8.javagold holds $se_count classes; the Java SE 8 API has about 4,000 public ones"
fi
[ "$corba_count" -ge 400 ] ||
    die "FormerlyCORBA.javagold holds only $corba_count classes"
corba_regex="^($(printf '%s\n' "${CORBA_PACKAGES[@]}" | paste -sd '|'))/[^/]+$"
if class_names "$WORK/j2se8.txt" | grep -E "$corba_regex" > "$WORK/leak.txt"; then
    die "j2se8.javagold holds CORBA classes: $(head -n 3 "$WORK/leak.txt" | tr '\n' ' ')"
fi
if class_names "$WORK/corba.txt" | grep -vE "$corba_regex" > "$WORK/leak.txt"; then
    die "FormerlyCORBA.javagold holds other classes: $(head -n 3 "$WORK/leak.txt" | tr '\n' ' ')"
fi
string_methods=$(methods_of "$WORK/j2se8.txt" 'Ljava/lang/String;')
grep -qx isEmpty <<< "$string_methods" || die "java.lang.String in j2se8.javagold lacks isEmpty"
if grep -qx isBlank <<< "$string_methods"; then
    die "java.lang.String in j2se8.javagold has isBlank, which came with Java 11"
fi
marked=$(awk '/^classes \{/ { cls = "" } /^  name: "/ { cls = $2 }
    /^    name: "/ { method = $2 } /^    signature_polymorphic: true/ { print cls "." method }' \
    "$WORK/j2se8.txt" | tr -d '"' | sort | paste -sd ' ')
[ "$marked" = "Ljava/lang/invoke/MethodHandle;.invoke Ljava/lang/invoke/MethodHandle;.invokeExact" ] ||
    die "unexpected signature-polymorphic marks in j2se8.javagold: $marked"
if grep -q 'signature_polymorphic: true' "$WORK/corba.txt"; then
    die "FormerlyCORBA.javagold carries signature-polymorphic marks"
fi
# The program itself must read the files back with every class in them.
listed=$("$JCT" --nogui --listcontents --classpath "$WORK/j2se8.javagold" \
    --logdir "$WORK" 2> /dev/null | wc -l)
[ "$listed" -eq "$se_count" ] ||
    die "velm-jct lists $listed classes of j2se8.javagold, which holds $se_count"

mv -f "$WORK/j2se8.javagold" data/j2se8.javagold
mv -f "$WORK/FormerlyCORBA.javagold" data/FormerlyCORBA.javagold
echo "make-gold-data: data/j2se8.javagold ($se_count classes, $(wc -c < data/j2se8.javagold) bytes)"
echo "make-gold-data: data/FormerlyCORBA.javagold ($corba_count classes," \
    "$(wc -c < data/FormerlyCORBA.javagold) bytes)"
