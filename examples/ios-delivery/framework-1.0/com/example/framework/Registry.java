package com.example.framework;

import java.util.HashMap;
import java.util.Map;

/** Release 1.0: lookup was still public. */
public final class Registry {
    private static final Map<String, Component> components = new HashMap<>();

    private Registry() {
    }

    public static void register(String name, Component component) {
        components.put(name, component);
    }

    public static Component lookup(String name) {
        return components.get(name);
    }
}
