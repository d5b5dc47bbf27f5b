package com.example.thermo;

import com.example.framework.Component;
import com.example.framework.Message;

/** Publishes the temperature. Uses only the framework and Java SE 8, as allowed. */
public class Thermometer extends Component {
    private double celsius = 21.5;

    public double read() {
        return celsius;
    }

    @Override
    public void start() {
        getBus().publish(new Message("temperature", read()));
    }
}
