package com.example.framework;

import java.util.ArrayList;
import java.util.List;

/** The message bus on which components publish their readings. */
public class Bus {
    private final List<Message> published = new ArrayList<>();

    public void publish(Message message) {
        published.add(message);
    }

    public int size() {
        return published.size();
    }
}
