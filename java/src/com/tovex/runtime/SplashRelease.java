package com.tovex.runtime;

import java.util.Collection;
import java.util.Set;

/**
 * Hides the splash when the program has ended without hiding it.
 *
 * <p>The launcher's splash thread is attached to the VM as an ordinary thread, and the VM's
 * destruction waits for it; it leaves only when the splash is hidden. A program that never
 * hides the splash (a console tool, or one whose windows never appear) would therefore
 * keep the process alive for good. After the application's main method has returned, a
 * daemon thread watches the VM: as soon as no thread is left that could still show
 * something — every live non-daemon thread is either the splash thread, the launcher's
 * main thread or the VM's own "DestroyJavaVM" thread — it hides the splash. A program
 * whose windows are up keeps its event thread alive, so its splash stays until the
 * program or the hide-on-window rule hides it.
 */
final class SplashRelease {
    private SplashRelease() {
    }

    static final long INTERVAL_MILLIS = 100;

    /** Starts the watch; mainThread is the thread that ran the application's main. */
    static void startAfterMain(final Thread mainThread) {
        if (TovexController.isSplashHidden()) {
            return;
        }
        Thread watcher = new Thread(new Runnable() {
            @Override
            public void run() {
                while (!TovexController.isSplashHidden()) {
                    if (onlyLauncherThreadsLeft(Thread.getAllStackTraces().keySet(), mainThread,
                            TovexController.pollingThread(), Thread.currentThread())) {
                        TovexController.hideSplash();
                        return;
                    }
                    try {
                        Thread.sleep(INTERVAL_MILLIS);
                    } catch (InterruptedException e) {
                        return;
                    }
                }
            }
        }, "tovex-splash-release");
        watcher.setDaemon(true);
        watcher.start();
    }

    /** True when no live non-daemon thread other than the launcher's own is left. */
    static boolean onlyLauncherThreadsLeft(Collection<Thread> threads, Thread mainThread, Thread pollingThread,
            Thread self) {
        for (Thread thread : threads) {
            if (!thread.isAlive() || thread.isDaemon() || thread == self || thread == mainThread
                    || thread == pollingThread || "DestroyJavaVM".equals(thread.getName())) {
                continue;
            }
            return false;
        }
        return true;
    }

    static boolean onlyLauncherThreadsLeft(Set<Thread> threads, Thread mainThread, Thread pollingThread) {
        return onlyLauncherThreadsLeft(threads, mainThread, pollingThread, Thread.currentThread());
    }
}
