// The peer of the parse benchmarks: ASM's ClassReader walking every instruction of every class
// file under the given directories.
//
//   java -cp asm.jar:<dir> AsmWalk serve <max-warm-seconds> <directory>
//       reads the classes into memory once and walks them again and again until the JVM's
//       figure settles (see warm()) or the time limit passes; prints
//       "<classes> <bytes> <warm-passes> <settled|unsettled> <instructions>". Then walks them
//       once more for each line "pass" read from standard input and prints that pass's seconds,
//       until its input ends. The caller times its own work between the passes, so that both
//       sides meet the same neighbours.
//   java -cp asm.jar:<dir> AsmWalk once <directory>...
//       reads each class file from disk and walks it once; prints "<classes> <instructions>"
//
// Frames and debug tables are skipped: they hold no instructions, and the walk should be the
// quickest honest one.

import java.io.BufferedReader;
import java.io.IOException;
import java.io.InputStreamReader;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;
import java.util.stream.Collectors;
import java.util.stream.Stream;

import org.objectweb.asm.ClassReader;
import org.objectweb.asm.ClassVisitor;
import org.objectweb.asm.Handle;
import org.objectweb.asm.Label;
import org.objectweb.asm.MethodVisitor;
import org.objectweb.asm.Opcodes;

public final class AsmWalk {
    // Counts every instruction and touches every name it references, so that nothing the
    // reader decodes can be dropped as unused.
    static final class Counter extends MethodVisitor {
        long instructions;
        long names;

        Counter() {
            super(Opcodes.ASM9);
        }

        @Override public void visitInsn(int opcode) { ++instructions; }
        @Override public void visitIntInsn(int opcode, int operand) { ++instructions; }
        @Override public void visitVarInsn(int opcode, int var) { ++instructions; }
        @Override public void visitTypeInsn(int opcode, String type) {
            ++instructions;
            names += type.length();
        }
        @Override public void visitFieldInsn(int opcode, String owner, String name, String desc) {
            ++instructions;
            names += owner.length() + name.length() + desc.length();
        }
        @Override public void visitMethodInsn(int opcode, String owner, String name, String desc,
                                              boolean isInterface) {
            ++instructions;
            names += owner.length() + name.length() + desc.length();
        }
        @Override public void visitInvokeDynamicInsn(String name, String desc, Handle bsm,
                                                     Object... args) {
            ++instructions;
            names += name.length() + desc.length();
        }
        @Override public void visitJumpInsn(int opcode, Label label) { ++instructions; }
        @Override public void visitLdcInsn(Object value) { ++instructions; }
        @Override public void visitIincInsn(int var, int increment) { ++instructions; }
        @Override public void visitTableSwitchInsn(int min, int max, Label dflt, Label... labels) {
            ++instructions;
        }
        @Override public void visitLookupSwitchInsn(Label dflt, int[] keys, Label[] labels) {
            ++instructions;
        }
        @Override public void visitMultiANewArrayInsn(String desc, int dims) { ++instructions; }
    }

    static final class Walker extends ClassVisitor {
        final Counter counter = new Counter();

        Walker() {
            super(Opcodes.ASM9);
        }

        @Override
        public MethodVisitor visitMethod(int access, String name, String desc, String signature,
                                         String[] exceptions) {
            return counter;
        }
    }

    static long walk(byte[] bytes, Walker walker) {
        new ClassReader(bytes).accept(walker, ClassReader.SKIP_FRAMES | ClassReader.SKIP_DEBUG);
        return walker.counter.instructions;
    }

    static List<Path> classFiles(String directory) throws IOException {
        try (Stream<Path> files = Files.walk(Paths.get(directory))) {
            return files.filter(p -> p.toString().endsWith(".class") && Files.isRegularFile(p))
                    .sorted()
                    .collect(Collectors.toList());
        }
    }

    public static void main(String[] args) throws IOException {
        if (args.length >= 3 && args[0].equals("serve")) {
            serve(Double.parseDouble(args[1]), args[2]);
        } else if (args.length >= 2 && args[0].equals("once")) {
            once(args);
        } else {
            System.err.println("usage: AsmWalk serve <max-warm-seconds> <directory>"
                               + " | AsmWalk once <directory>...");
            System.exit(2);
        }
    }

    // Seconds of one walk over all the classes; the count of what it saw goes to `seen`.
    static double pass(List<byte[]> classes, long[] seen) {
        Walker walker = new Walker();
        long t0 = System.nanoTime();
        for (byte[] content : classes)
            walk(content, walker);
        double seconds = (System.nanoTime() - t0) / 1e9;
        seen[0] = walker.counter.instructions + walker.counter.names % 2;
        return seconds;
    }

    static double median(double[] values, int from, int to) {
        double[] part = Arrays.copyOfRange(values, from, to);
        Arrays.sort(part);
        return part[part.length / 2];
    }

    // The just-in-time compiler keeps replacing code for many passes, so early passes are slow
    // and uneven. A best pass would reward one lucky pass; the figure counts as settled once the
    // median of the last ten passes is within 2% of the median of the ten before. Returns the
    // number of passes, negative when the time limit came first.
    static int warm(List<byte[]> classes, double maxSeconds, long[] seen) {
        long start = System.nanoTime();
        double[] seconds = new double[16];
        int passes = 0;
        for (;;) {
            if (passes == seconds.length)
                seconds = Arrays.copyOf(seconds, 2 * passes);
            seconds[passes++] = pass(classes, seen);
            if (passes >= 20) {
                double last = median(seconds, passes - 10, passes);
                double before = median(seconds, passes - 20, passes - 10);
                if (Math.abs(last - before) <= 0.02 * before)
                    return passes;
            }
            if ((System.nanoTime() - start) / 1e9 > maxSeconds)
                return -passes;
        }
    }

    static void serve(double maxWarmSeconds, String directory) throws IOException {
        List<byte[]> classes = new ArrayList<>();
        long bytes = 0;
        for (Path path : classFiles(directory)) {
            byte[] content = Files.readAllBytes(path);
            classes.add(content);
            bytes += content.length;
        }
        long[] seen = new long[1];
        int passes = warm(classes, maxWarmSeconds, seen);
        System.out.println(classes.size() + " " + bytes + " " + Math.abs(passes) + " "
                           + (passes > 0 ? "settled" : "unsettled") + " " + seen[0]);
        System.out.flush();
        BufferedReader in =
                new BufferedReader(new InputStreamReader(System.in, StandardCharsets.US_ASCII));
        for (String line = in.readLine(); line != null; line = in.readLine()) {
            if (!line.equals("pass"))
                continue;
            System.out.println(pass(classes, seen));
            System.out.flush();
        }
    }

    static void once(String[] args) throws IOException {
        Walker walker = new Walker();
        int count = 0;
        for (int i = 1; i < args.length; ++i) {
            for (Path path : classFiles(args[i])) {
                walk(Files.readAllBytes(path), walker);
                ++count;
            }
        }
        System.out.println(count + " " + (walker.counter.instructions + walker.counter.names % 2));
    }
}
