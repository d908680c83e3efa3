package com.tovex.runtime;

/**
 * A scripted stand-in for the splash controller, used by the launcher's
 * real-JVM test of its poll: the test sets what the next calls answer,
 * including null texts and exceptions.
 */
public final class TovexController {
    private TovexController() {
    }

    private static int action;
    private static String text;
    private static boolean throwInAction;
    private static boolean throwInText;
    private static int actionCalls;
    private static java.lang.ref.WeakReference<String> lastGiven;

    /** The answers of the following calls; throwWhere: 0 none, 1 getAction throws, 2 getText throws. */
    static synchronized void script(int nextAction, String nextText, int throwWhere) {
        action = nextAction;
        text = nextText;
        throwInAction = throwWhere == 1;
        throwInText = throwWhere == 2;
    }

    static synchronized int actionCalls() {
        return actionCalls;
    }

    /** True when the last string handed out by getText has been collected (nobody holds it any more). */
    static synchronized boolean lastTextCollected() {
        System.gc();
        return lastGiven != null && lastGiven.get() == null;
    }

    public static synchronized int getAction() {
        actionCalls++;
        if (throwInAction) {
            throw new IllegalStateException("getAction failed on purpose");
        }
        return action;
    }

    public static synchronized String getText() {
        if (throwInText) {
            throw new IllegalStateException("getText failed on purpose");
        }
        if (text == null) {
            return null;
        }
        String given = new String(text);
        lastGiven = new java.lang.ref.WeakReference<String>(given);
        return given;
    }
}
