package com.example.framework;

/** The base of every component that the framework starts. */
public abstract class Component {
    private final Bus bus = new Bus();

    protected Bus getBus() {
        return bus;
    }

    public abstract void start();
}
