package com.tovex.runtime;

import static org.junit.Assert.assertFalse;
import static org.junit.Assert.assertTrue;

import java.util.Arrays;
import java.util.concurrent.CountDownLatch;
import java.util.concurrent.TimeUnit;

import org.junit.After;
import org.junit.Test;

public class SplashReleaseTest {
    @After
    public void reset() {
        TovexController.reset();
    }

    private static Thread idle(String name, boolean daemon) {
        Thread t = new Thread(new Runnable() {
            @Override
            public void run() {
            }
        }, name);
        t.setDaemon(daemon);
        return t;
    }

    @Test
    public void launcherThreadsAloneDoNotKeepTheSplash() throws Exception {
        final CountDownLatch release = new CountDownLatch(1);
        Thread poller = new Thread(new Runnable() {
            @Override
            public void run() {
                try {
                    release.await(30, TimeUnit.SECONDS);
                } catch (InterruptedException e) {
                    // ends
                }
            }
        });
        Thread destroy = new Thread(poller.getThreadGroup(), new Runnable() {
            @Override
            public void run() {
                try {
                    release.await(30, TimeUnit.SECONDS);
                } catch (InterruptedException e) {
                    // ends
                }
            }
        }, "DestroyJavaVM");
        poller.start();
        destroy.start();
        try {
            Thread main = Thread.currentThread();
            assertTrue(SplashRelease.onlyLauncherThreadsLeft(Arrays.asList(main, poller, destroy), main, poller,
                    null));
            // A program thread that is still alive keeps the splash.
            Thread worker = new Thread(poller.getThreadGroup(), new Runnable() {
                @Override
                public void run() {
                    try {
                        release.await(30, TimeUnit.SECONDS);
                    } catch (InterruptedException e) {
                        // ends
                    }
                }
            }, "worker");
            worker.start();
            assertFalse(SplashRelease.onlyLauncherThreadsLeft(Arrays.asList(main, poller, destroy, worker), main,
                    poller, null));
            // Daemon threads and threads that ended do not count.
            Thread daemon = idle("daemon", true);
            Thread notStarted = idle("never started", false);
            assertTrue(SplashRelease.onlyLauncherThreadsLeft(Arrays.asList(main, poller, daemon, notStarted), main,
                    poller, null));
        } finally {
            release.countDown();
        }
    }

    @Test
    public void theWatchHidesTheSplashOnceTheProgramsThreadsHaveEnded() throws Exception {
        final CountDownLatch finish = new CountDownLatch(1);
        Thread program = new Thread(new Runnable() {
            @Override
            public void run() {
                try {
                    finish.await(30, TimeUnit.SECONDS);
                } catch (InterruptedException e) {
                    // ends
                }
            }
        }, "program");
        program.start();
        TovexController.getAction(); // this thread polls, like the launcher's splash thread
        SplashRelease.startAfterMain(Thread.currentThread());
        // Other non-daemon threads of the test runner may exist; the program thread alone must keep the splash.
        assertFalse(TovexController.isSplashHidden() && program.isAlive());
        finish.countDown();
        program.join(30000);
        long deadline = System.nanoTime() + TimeUnit.SECONDS.toNanos(30);
        while (!TovexController.isSplashHidden() && System.nanoTime() < deadline) {
            Thread.sleep(20);
        }
        assertTrue(TovexController.isSplashHidden());
        assertTrue(TovexController.getAction() == TovexController.ACTION_HIDE);
    }
}
