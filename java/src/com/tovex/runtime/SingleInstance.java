package com.tovex.runtime;

import java.io.File;

/**
 * Receives the arguments of later starts of a single-instance application.
 *
 * <p>When the launcher runs the application in single-instance mode, a second start of
 * the executable hands its command-line arguments to the running instance and ends.
 * Register a {@link Listener} to receive them:
 *
 * <pre>
 * SingleInstance.setListener(new SingleInstance.Listener() {
 *     public void newInstance(String[] args) {
 *         SwingUtilities.invokeLater(() -&gt; openFiles(args));
 *     }
 * });
 * </pre>
 *
 * The listener is called on a background daemon thread, once per later start, in the
 * order of the starts; starts that arrive before a listener is registered are queued and
 * delivered when it is. The arguments are split with the launcher's own quoting rules
 * ({@link ArgumentSplitter}). Outside single-instance mode the listener is never called.
 */
public final class SingleInstance {
    private SingleInstance() {
    }

    /** Receives the arguments of a later start. */
    public interface Listener {
        void newInstance(String[] args);
    }

    private static CommFileWatcher watcher;
    private static Listener listener;

    /** Sets the listener (null removes it; later starts are then queued again). */
    public static synchronized void setListener(Listener newListener) {
        listener = newListener;
        start();
        if (watcher != null) {
            watcher.setListener(newListener);
        }
    }

    /** True when the launcher runs the application in single-instance mode. */
    public static boolean isEnabled() {
        return Launcher.getProcessCommFile() != null;
    }

    /** The launcher's instance semaphore name, or null. */
    public static String getSemaphoreName() {
        return Launcher.getSemaphoreName();
    }

    /** Starts watching the communication file, once, when the launcher named one. */
    static synchronized void start() {
        if (watcher != null) {
            return;
        }
        File file = Launcher.getProcessCommFile();
        if (file == null) {
            return;
        }
        watcher = new CommFileWatcher(file, CommFileWatcher.POLL_MILLIS, CommFileWatcher.STALE_POLLS);
        watcher.setListener(listener);
        watcher.start();
    }
}
