package com.tovex.runtime;

import static org.junit.Assert.assertEquals;
import static org.junit.Assert.assertFalse;
import static org.junit.Assert.assertNull;
import static org.junit.Assert.assertTrue;

import java.util.ArrayList;
import java.util.List;
import java.util.concurrent.CountDownLatch;
import java.util.concurrent.TimeUnit;
import java.util.concurrent.atomic.AtomicReference;
import org.junit.Before;
import org.junit.Test;

public class TovexControllerTest {
    @Before
    public void reset() {
        TovexController.reset();
    }

    @Test
    public void nothingToDoAtStart() {
        assertEquals(0, TovexController.getAction());
        assertNull(TovexController.getText());
        assertFalse(TovexController.isSplashHidden());
    }

    @Test
    public void textIsReportedOnceAndTakenOnce() {
        TovexController.setSplashText("Loading modules");
        assertEquals(2, TovexController.getAction());
        assertEquals(2, TovexController.getAction());
        assertEquals("Loading modules", TovexController.getText());
        assertEquals(0, TovexController.getAction());
        assertNull(TovexController.getText());
    }

    @Test
    public void latestTextWins() {
        TovexController.setSplashText("one");
        TovexController.setSplashText("two");
        TovexController.setSplashText("three");
        assertEquals(2, TovexController.getAction());
        assertEquals("three", TovexController.getText());
        assertEquals(0, TovexController.getAction());
    }

    @Test
    public void nullTextShowsAnEmptyLine() {
        TovexController.setSplashText(null);
        assertEquals(2, TovexController.getAction());
        assertEquals("", TovexController.getText());
    }

    @Test
    public void hideWinsOverPendingTextAndIsReportedOnce() {
        TovexController.setSplashText("pending");
        TovexController.hideSplash();
        TovexController.setSplashText("after hide");
        assertTrue(TovexController.isSplashHidden());
        assertEquals(1, TovexController.getAction());
        assertNull(TovexController.getText());
        assertEquals(0, TovexController.getAction());
        assertEquals(0, TovexController.getAction());
    }

    @Test
    public void hideBetweenActionAndTextDropsTheText() {
        TovexController.setSplashText("x");
        assertEquals(2, TovexController.getAction());
        TovexController.hideSplash();
        assertNull(TovexController.getText());
        assertEquals(1, TovexController.getAction());
    }

    /**
     * Several application threads set numbered texts while a poller acts like the splash
     * thread: each thread's texts arrive in increasing order (never an older one after a newer
     * one), the last text set is the last one shown, and the hide request arrives exactly once.
     */
    @Test
    public void concurrentSettersAndPoller() throws Exception {
        final int threads = 4;
        final int texts = 20000;
        final CountDownLatch start = new CountDownLatch(1);
        final CountDownLatch settersDone = new CountDownLatch(threads);
        final CountDownLatch hidden = new CountDownLatch(1);
        final CountDownLatch finalShown = new CountDownLatch(1);
        final List<String> shown = new ArrayList<String>();
        final AtomicReference<String> pollerFailure = new AtomicReference<String>();
        final int[] hides = new int[1];

        Thread poller = new Thread() {
            @Override
            public void run() {
                while (hidden.getCount() > 0) {
                    int action = TovexController.getAction();
                    if (action == 1) {
                        hides[0]++;
                        hidden.countDown();
                    } else if (action == 2) {
                        String text = TovexController.getText();
                        if (text != null) {
                            shown.add(text);
                            if (text.equals("final")) {
                                finalShown.countDown();
                            }
                        }
                    } else if (action != 0) {
                        pollerFailure.set("unexpected action " + action);
                    }
                }
                for (int i = 0; i < 1000; i++) {
                    if (TovexController.getAction() != 0) {
                        hides[0]++;
                    }
                }
            }
        };
        poller.start();
        for (int t = 0; t < threads; t++) {
            final int id = t;
            new Thread() {
                @Override
                public void run() {
                    try {
                        start.await();
                        for (int i = 0; i < texts; i++) {
                            TovexController.setSplashText(id + ":" + i);
                        }
                    } catch (InterruptedException e) {
                        // counted as unfinished below
                    } finally {
                        settersDone.countDown();
                    }
                }
            }.start();
        }
        start.countDown();
        assertTrue(settersDone.await(60, TimeUnit.SECONDS));
        TovexController.setSplashText("final");
        assertTrue(finalShown.await(60, TimeUnit.SECONDS));
        TovexController.hideSplash();
        assertTrue(hidden.await(60, TimeUnit.SECONDS));
        poller.join(60000);
        assertFalse(poller.isAlive());
        assertNull(pollerFailure.get());
        assertEquals(1, hides[0]);

        int[] lastSeen = new int[threads];
        java.util.Arrays.fill(lastSeen, -1);
        for (String text : shown) {
            if (text.equals("final")) {
                continue;
            }
            String[] parts = text.split(":");
            int id = Integer.parseInt(parts[0]);
            int n = Integer.parseInt(parts[1]);
            assertTrue(text + " out of order", n > lastSeen[id]);
            lastSeen[id] = n;
        }
        assertEquals("final", shown.get(shown.size() - 1));
    }
}
