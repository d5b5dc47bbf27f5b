#!/usr/bin/env bash
# Makes the seeds that reach the loaders' threads, which take over from 16 classes on: 40 small
# classes compiled for Java 8 without debug tables, as a stored and a deflated archive
# (fuzz/corpus/archive/many-stored.jar, many-deflated.jar) and as one input of the directory
# target (fuzz/corpus/directory/many.classes: the class files one after the other), and the
# class-file corpus's classes as one more input of the directory target (classfile-corpus.classes),
# for their variety. Every eighth
# class is an interface that the seven after it implement; each class uses a field of the next.
# Needs javac and zip.
set -euo pipefail
cd "$(dirname "$0")/.."
here=$(pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/src/many" "$work/classes"
count=40
for ((i = 0; i < count; ++i)); do
    if ((i % 8 == 0)); then
        printf 'package many;\npublic interface C%02d {\n    int size();\n    default boolean isEmpty() { return size() == 0; }\n}\n' \
            "$i" >"$work/src/many/C$(printf %02d "$i").java"
    else
        next=$(((i + 1) % count))
        if ((next % 8 == 0)); then next=$(((next + 1) % count)); fi
        printf 'package many;\npublic class C%02d implements C%02d {\n    protected static int count;\n    private final long[] values = new long[%d];\n    public int size() { return values.length + C%02d.count; }\n}\n' \
            "$i" "$((i - i % 8))" "$i" "$next" >"$work/src/many/C$(printf %02d "$i").java"
    fi
done
javac --release 8 -g:none -nowarn -d "$work/classes" "$work"/src/many/*.java
# Fixed times, so that the archives change only when the classes do.
find "$work/classes" -exec touch -d 2020-01-01T00:00:00Z {} +
mkdir -p fuzz/corpus/archive fuzz/corpus/directory
rm -f fuzz/corpus/archive/many-stored.jar fuzz/corpus/archive/many-deflated.jar
(cd "$work/classes" && zip -q -X -0 -r "$here/fuzz/corpus/archive/many-stored.jar" many &&
    zip -q -X -9 -r "$here/fuzz/corpus/archive/many-deflated.jar" many)
find "$work/classes/many" -name '*.class' | sort | xargs cat >fuzz/corpus/directory/many.classes
cat fuzz/corpus/classfile/*.class >fuzz/corpus/directory/classfile-corpus.classes
