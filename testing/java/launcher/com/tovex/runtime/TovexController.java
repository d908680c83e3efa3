package com.tovex.runtime;

/**
 * The stand-in's own splash controller for tests: getAction returns the successive values of the system
 * property "standin.actions" (comma-separated; 0 after the list), getText the successive values of
 * "standin.texts" ("|"-separated; the word null for null; null after the list).
 */
public final class TovexController {
    private static int nextAction;
    private static int nextText;

    private TovexController() {
    }

    public static synchronized int getAction() {
        String[] items = System.getProperty("standin.actions", "").split(",");
        if (nextAction < items.length && !items[nextAction].trim().isEmpty()) {
            return Integer.parseInt(items[nextAction++].trim());
        }
        return 0;
    }

    public static synchronized String getText() {
        String texts = System.getProperty("standin.texts");
        if (texts == null) {
            return null;
        }
        String[] items = texts.split("\\|", -1);
        if (nextText < items.length) {
            String t = items[nextText++];
            return t.equals("null") ? null : t;
        }
        return null;
    }
}
