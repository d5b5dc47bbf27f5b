package com.example.framework;

/** Release 1.0 only: release 2.0 dropped this class. */
public final class LegacyCodec {
    private LegacyCodec() {
    }

    public static String encode(double value) {
        return Double.toString(value);
    }
}
