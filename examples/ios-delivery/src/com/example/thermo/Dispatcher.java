package com.example.thermo;

import java.lang.invoke.MethodHandle;
import java.lang.invoke.MethodHandles;
import java.lang.invoke.MethodType;
import java.lang.reflect.Method;

/** Starts a component by reflection and reads a thermometer through a method handle. */
public class Dispatcher {
    public void startByName(Object component) throws ReflectiveOperationException {
        Method start = component.getClass().getMethod("start");
        start.invoke(component);
    }

    public double readFast(Thermometer thermometer) throws Throwable {
        MethodHandle read = MethodHandles.lookup().findVirtual(Thermometer.class, "read",
                MethodType.methodType(double.class));
        return (double) read.invokeExact(thermometer);
    }
}
