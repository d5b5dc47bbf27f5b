// The peer of the parse benchmarks: ASM's ClassReader walking every instruction of every class
// file under the given directories.
//
//   java -cp asm.jar:<dir> AsmWalk warm <max-seconds> <directory>
//       reads the classes into memory once, then walks them again and again in the same JVM
//       until the best pass is stable (at least five passes, and five in a row without a gain
//       of more than 1%, or the time limit); prints
//       "<classes> <bytes> <best-seconds> <passes> <instructions>"
//   java -cp asm.jar:<dir> AsmWalk once <directory>...
//       reads each class file from disk and walks it once; prints "<classes> <instructions>"
//
// Frames and debug tables are skipped: they hold no instructions, and the walk should be the
// quickest honest one.

import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.util.ArrayList;
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
        if (args.length >= 3 && args[0].equals("warm")) {
            warm(Double.parseDouble(args[1]), args[2]);
        } else if (args.length >= 2 && args[0].equals("once")) {
            once(args);
        } else {
            System.err.println("usage: AsmWalk warm <max-seconds> <directory>"
                               + " | AsmWalk once <directory>...");
            System.exit(2);
        }
    }

    static void warm(double maxSeconds, String directory) throws IOException {
        List<byte[]> classes = new ArrayList<>();
        long bytes = 0;
        for (Path path : classFiles(directory)) {
            byte[] content = Files.readAllBytes(path);
            classes.add(content);
            bytes += content.length;
        }
        long start = System.nanoTime();
        double best = Double.MAX_VALUE;
        int passes = 0;
        int sinceGain = 0;
        long instructions = 0;
        for (;;) {
            Walker walker = new Walker();
            long t0 = System.nanoTime();
            for (byte[] content : classes)
                walk(content, walker);
            double seconds = (System.nanoTime() - t0) / 1e9;
            instructions = walker.counter.instructions + walker.counter.names % 2;
            ++passes;
            sinceGain = passes == 1 || seconds < best * 0.99 ? 0 : sinceGain + 1;
            best = Math.min(best, seconds);
            if ((passes >= 5 && sinceGain >= 5) || (System.nanoTime() - start) / 1e9 > maxSeconds)
                break;
        }
        System.out.println(classes.size() + " " + bytes + " " + best + " " + passes + " "
                           + instructions);
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
