package com.example.framework;

/** One reading: a topic and a value. */
public final class Message {
    private final String topic;
    private final double value;

    public Message(String topic, double value) {
        this.topic = topic;
        this.value = value;
    }

    public String getTopic() {
        return topic;
    }

    public double getValue() {
        return value;
    }
}
