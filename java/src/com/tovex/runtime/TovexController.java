package com.tovex.runtime;

import java.awt.GraphicsEnvironment;

/**
 * Drives the launcher's splash screen from the application.
 *
 * <p>The application calls {@link #setSplashText} to put a status line on the splash and
 * {@link #hideSplash} when its own window is up. The launcher's splash thread polls
 * {@link #getAction} every 100 ms and, on 2, fetches the text with {@link #getText}.
 *
 * <ul>
 * <li>Only the latest text counts: texts set between two polls replace each other, and
 * the splash shows the last one set.</li>
 * <li>A hide request wins: it drops a pending text, is reported once (1), and afterwards
 * the controller reports nothing more and ignores new texts.</li>
 * <li>All methods are thread-safe and may be called from any thread, including the
 * launcher's attached splash thread; they never block for long and never throw.</li>
 * </ul>
 *
 * <p>When the runtime's own splash image is used instead, {@link #hideSplash} closes it
 * (status texts apply to the launcher's own splash window only).
 */
public final class TovexController {
    private TovexController() {
    }

    /** Nothing to do. */
    public static final int ACTION_NONE = 0;
    /** Hide the splash now. */
    public static final int ACTION_HIDE = 1;
    /** A new status text is ready; {@link #getText} gives it. */
    public static final int ACTION_TEXT = 2;

    private static final Object LOCK = new Object();
    private static String pendingText;
    private static boolean hideRequested;
    private static boolean hideReported;
    /** The launcher's splash thread, known from its first poll; null until then. */
    private static volatile Thread pollingThread;

    /** Shows {@code text} as the splash's status line (null shows an empty line). */
    public static void setSplashText(String text) {
        synchronized (LOCK) {
            if (!hideRequested) {
                pendingText = text == null ? "" : text;
            }
        }
    }

    /** Hides the splash; later texts are ignored. */
    public static void hideSplash() {
        synchronized (LOCK) {
            hideRequested = true;
            pendingText = null;
        }
        closeRuntimeSplash();
    }

    /** True once {@link #hideSplash} has been called. */
    public static boolean isSplashHidden() {
        synchronized (LOCK) {
            return hideRequested;
        }
    }

    /** For the launcher: 1 hide, 2 a new text is ready, 0 nothing to do. */
    public static int getAction() {
        if (pollingThread == null) {
            pollingThread = Thread.currentThread();
        }
        synchronized (LOCK) {
            if (hideRequested) {
                if (hideReported) {
                    return ACTION_NONE;
                }
                hideReported = true;
                return ACTION_HIDE;
            }
            return pendingText != null ? ACTION_TEXT : ACTION_NONE;
        }
    }

    /** For the launcher: the pending status text, taken once; null when there is none. */
    public static String getText() {
        synchronized (LOCK) {
            String text = pendingText;
            pendingText = null;
            return text;
        }
    }

    /** Restores the initial state (tests only). */
    static void reset() {
        synchronized (LOCK) {
            pendingText = null;
            hideRequested = false;
            hideReported = false;
            pollingThread = null;
        }
    }

    /** The launcher's splash thread once it has polled, else null. */
    static Thread pollingThread() {
        return pollingThread;
    }

    private static void closeRuntimeSplash() {
        if (GraphicsEnvironment.isHeadless()) {
            return;
        }
        try {
            java.awt.SplashScreen splash = java.awt.SplashScreen.getSplashScreen();
            if (splash != null) {
                splash.close();
            }
        } catch (Throwable t) {
            // No runtime splash (or it is already closed): nothing to close.
        }
    }
}
