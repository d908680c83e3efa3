package com.tovex.runtime;

import static org.junit.Assert.assertArrayEquals;
import static org.junit.Assert.assertEquals;
import static org.junit.Assert.assertFalse;
import static org.junit.Assert.assertTrue;

import java.io.File;
import java.io.FileOutputStream;
import java.io.IOException;
import java.nio.charset.Charset;
import java.nio.file.Files;
import java.nio.file.StandardOpenOption;
import java.util.ArrayList;
import java.util.Collections;
import java.util.List;
import java.util.concurrent.CountDownLatch;
import java.util.concurrent.TimeUnit;
import org.junit.After;
import org.junit.Rule;
import org.junit.Test;
import org.junit.rules.TemporaryFolder;

public class CommFileWatcherTest {
    private static final Charset UTF_16LE = Charset.forName("UTF-16LE");
    private static final long WAIT_MILLIS = 60000;

    @Rule
    public TemporaryFolder folder = new TemporaryFolder();

    private CommFileWatcher watcher;

    @After
    public void stopWatcher() {
        if (watcher != null) {
            watcher.stop();
        }
    }

    /** Collects delivered argument sets and lets a test wait for a number of them. */
    static final class Recorder implements SingleInstance.Listener {
        final List<String[]> received = Collections.synchronizedList(new ArrayList<String[]>());
        private final CountDownLatch expected;

        Recorder(int count) {
            expected = new CountDownLatch(count);
        }

        @Override
        public void newInstance(String[] args) {
            received.add(args);
            expected.countDown();
        }

        boolean await() throws InterruptedException {
            return expected.await(WAIT_MILLIS, TimeUnit.MILLISECONDS);
        }
    }

    private File commFile() {
        return new File(folder.getRoot(), "tvx_p1234.tmp");
    }

    private CommFileWatcher startWatcher(File file, int stalePolls) {
        watcher = new CommFileWatcher(file, 5, stalePolls);
        watcher.start();
        return watcher;
    }

    /** Waits until {@code file} is gone, as a second start does; false after the bound. */
    private static boolean awaitDeletion(File file) throws InterruptedException {
        long deadline = System.currentTimeMillis() + WAIT_MILLIS;
        while (file.exists()) {
            if (System.currentTimeMillis() > deadline) {
                return false;
            }
            Thread.sleep(2);
        }
        return true;
    }

    private static byte[] encode(String text) {
        return (text + "\n").getBytes(UTF_16LE);
    }

    /** Creates the file exclusively and writes the text in one write, as the launcher does. */
    private static void writeLikeSecondStart(File file, String text) throws IOException {
        Files.write(file.toPath(), encode(text), StandardOpenOption.CREATE_NEW,
                StandardOpenOption.WRITE);
    }

    @Test
    public void contentIsCompleteOnlyWithTheFinalLineFeed() {
        Object[][] cases = {
            { "empty file", new byte[0], false },
            { "line feed only", encode(""), true },
            { "text and line feed", encode("a b"), true },
            { "text without line feed", "a b".getBytes(UTF_16LE), false },
            { "odd byte count", new byte[] { 0x0A, 0, 0x0A }, false },
            { "half a line feed", new byte[] { 'a', 0, 0x0A }, false },
            { "line feed in the high byte", new byte[] { 0, 0x0A }, false },
        };
        for (Object[] row : cases) {
            assertEquals((String) row[0], row[2], CommFileWatcher.isComplete((byte[]) row[1]));
        }
    }

    @Test
    public void contentIsSplitWithTheLauncherRules() {
        Object[][] cases = {
            { "", new String[] {} },
            { "a b", new String[] { "a", "b" } },
            { "\"C:\\My Files\\x.txt\" -open", new String[] { "C:\\My Files\\x.txt", "-open" } },
            { "\u00fcber 'two words'", new String[] { "\u00fcber", "two words" } },
            { "a\r", new String[] { "a\r" } },
        };
        for (Object[] row : cases) {
            assertArrayEquals((String) row[0], (String[]) row[1],
                    CommFileWatcher.parse(encode((String) row[0])));
        }
    }

    @Test
    public void thirtySecondStartsAreDeliveredOnceInOrder() throws Exception {
        File file = commFile();
        Recorder recorder = new Recorder(30);
        startWatcher(file, 1000000).setListener(recorder);
        for (int i = 0; i < 30; i++) {
            assertTrue("start " + i + " waited in vain", awaitDeletion(file));
            writeLikeSecondStart(file, "open \"file " + i + ".txt\" -n" + i);
        }
        assertTrue(awaitDeletion(file));
        assertTrue(recorder.await());
        // One more complete poll cycle after the last delivery: nothing further may arrive.
        assertTrue(watcher.awaitPolls(watcher.pollCount() + 3, WAIT_MILLIS));
        assertEquals(30, recorder.received.size());
        for (int i = 0; i < 30; i++) {
            assertArrayEquals(new String[] { "open", "file " + i + ".txt", "-n" + i },
                    recorder.received.get(i));
        }
    }

    @Test
    public void fileWrittenInTwoPartsIsNotDeliveredEarly() throws Exception {
        File file = commFile();
        Recorder recorder = new Recorder(1);
        startWatcher(file, 1000000).setListener(recorder);
        byte[] whole = encode("alpha beta");
        FileOutputStream out = new FileOutputStream(file);
        try {
            out.write(whole, 0, 7); // ends in the middle of a UTF-16 unit
            out.flush();
            assertTrue(watcher.awaitPolls(watcher.pollCount() + 5, WAIT_MILLIS));
            assertTrue(file.exists());
            assertEquals(0, recorder.received.size());
            out.write(whole, 7, whole.length - 9); // everything but the line feed
            out.flush();
            assertTrue(watcher.awaitPolls(watcher.pollCount() + 5, WAIT_MILLIS));
            assertTrue(file.exists());
            assertEquals(0, recorder.received.size());
            out.write(whole, whole.length - 2, 2);
        } finally {
            out.close();
        }
        assertTrue(recorder.await());
        assertTrue(awaitDeletion(file));
        assertArrayEquals(new String[] { "alpha", "beta" }, recorder.received.get(0));
    }

    @Test
    public void startsBeforeTheListenerAreQueuedAndDeliveredInOrder() throws Exception {
        File file = commFile();
        startWatcher(file, 1000000);
        for (int i = 0; i < 3; i++) {
            assertTrue(awaitDeletion(file));
            writeLikeSecondStart(file, "early" + i);
        }
        assertTrue("files are deleted without a listener", awaitDeletion(file));
        Recorder recorder = new Recorder(3);
        watcher.setListener(recorder);
        assertTrue(recorder.await());
        for (int i = 0; i < 3; i++) {
            assertArrayEquals(new String[] { "early" + i }, recorder.received.get(i));
        }
    }

    @Test
    public void failingListenerDoesNotStopDelivery() throws Exception {
        File file = commFile();
        final Recorder recorder = new Recorder(2);
        startWatcher(file, 1000000).setListener(new SingleInstance.Listener() {
            @Override
            public void newInstance(String[] args) {
                recorder.newInstance(args);
                if (args[0].equals("boom")) {
                    throw new RuntimeException("listener failure (expected by the test)");
                }
            }
        });
        writeLikeSecondStart(file, "boom");
        assertTrue(awaitDeletion(file));
        writeLikeSecondStart(file, "next");
        assertTrue(recorder.await());
        assertArrayEquals(new String[] { "next" }, recorder.received.get(1));
    }

    @Test
    public void incompleteFileLeftByADeadWriterIsRemovedWithoutDelivery() throws Exception {
        File file = commFile();
        Recorder recorder = new Recorder(1);
        startWatcher(file, 3).setListener(recorder);
        Files.write(file.toPath(), "abc".getBytes(UTF_16LE));
        assertTrue(awaitDeletion(file));
        writeLikeSecondStart(file, "after");
        assertTrue(recorder.await());
        assertEquals(1, recorder.received.size());
        assertArrayEquals(new String[] { "after" }, recorder.received.get(0));
        assertFalse(file.exists());
    }
}
