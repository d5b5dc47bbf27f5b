#!/bin/sh
# Makes the loading benchmark's input: the class files of the JDK's java.base module as a
# directory tree and as one JAR built from that tree by the jar tool.
#
#   bench/make-java-base.sh [output-directory]
#
# Prints the two paths to hand to velm_loading_bench. Needs a JDK (jimage and jar); JAVA_HOME is
# taken from javac when it is not set.
set -eu

out=${1:-java-base}
if [ -z "${JAVA_HOME:-}" ]; then
    JAVA_HOME=$(dirname "$(dirname "$(readlink -f "$(command -v javac)")")")
fi

rm -rf "$out/extract" "$out/java.base.jar"
mkdir -p "$out"
jimage extract --dir "$out/extract" --include 'regex:/java.base/.*' "$JAVA_HOME/lib/modules"
jar cf "$out/java.base.jar" -C "$out/extract/java.base" .

echo "$out/java.base.jar $out/extract/java.base"
