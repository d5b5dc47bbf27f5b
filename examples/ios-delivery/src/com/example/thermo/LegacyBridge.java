package com.example.thermo;

import com.example.framework.Component;
import com.example.framework.LegacyCodec;
import com.example.framework.Registry;

/**
 * Written against release 1.0 of the framework, in which LegacyCodec existed and
 * Registry.lookup was public. The target runs release 2.0.
 */
public class LegacyBridge {
    public String describe(String name, double value) {
        Component component = Registry.lookup(name);
        return component + "=" + LegacyCodec.encode(value);
    }
}
