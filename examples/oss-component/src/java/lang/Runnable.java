package java.lang;

/**
 * A task without arguments or result, declared exactly as Java SE 8 declares it: the interface
 * test passes it.
 */
@FunctionalInterface
public interface Runnable {
    void run();
}
