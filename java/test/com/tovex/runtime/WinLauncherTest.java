package com.tovex.runtime;

import static org.junit.Assert.assertArrayEquals;
import static org.junit.Assert.assertEquals;
import static org.junit.Assert.assertFalse;
import static org.junit.Assert.assertNull;
import static org.junit.Assert.assertSame;
import static org.junit.Assert.assertTrue;
import static org.junit.Assert.fail;

import java.io.ByteArrayOutputStream;
import java.io.File;
import java.io.IOException;
import java.io.PrintStream;
import java.nio.charset.Charset;
import java.nio.file.Files;
import org.junit.After;
import org.junit.Before;
import org.junit.Rule;
import org.junit.Test;
import org.junit.rules.TemporaryFolder;

public class WinLauncherTest {
    @Rule
    public TemporaryFolder folder = new TemporaryFolder();

    private PrintStream originalErr;
    private PrintStream originalOut;
    private ByteArrayOutputStream errBytes;

    /** Records the arguments it was called with. */
    public static class RecordingMain {
        static volatile String[] received;

        public static void main(String[] args) {
            received = args;
            System.out.println("out line");
            System.err.println("err line");
        }
    }

    /** Fails with its own exception. */
    public static class ThrowingMain {
        static final IllegalStateException FAILURE = new IllegalStateException("application failed");

        public static void main(String[] args) {
            throw FAILURE;
        }
    }

    /** Fails with a checked exception. */
    public static class CheckedThrowingMain {
        public static void main(String[] args) throws IOException {
            throw new IOException("disk gone");
        }
    }

    public static class NoMain {
        public static void run(String[] args) {
        }
    }

    public static class InstanceMain {
        public void main(String[] args) {
        }
    }

    public static class FailingInitMain {
        static {
            if (Boolean.TRUE) {
                throw new IllegalStateException("static init failed");
            }
        }

        public static void main(String[] args) {
        }
    }

    @Before
    public void captureErr() {
        originalErr = System.err;
        originalOut = System.out;
        errBytes = new ByteArrayOutputStream();
        System.setErr(new PrintStream(errBytes, true));
        RecordingMain.received = null;
    }

    @After
    public void restoreStreams() {
        if (System.err != originalErr) {
            System.err.close();
        }
        if (System.out != originalOut) {
            System.out.close();
        }
        System.setErr(originalErr);
        System.setOut(originalOut);
    }

    private static String[] launcherArgs(String mainClass, String errLog, String outLog,
            boolean restart, String... appArgs) {
        String[] args = new String[6 + appArgs.length];
        args[0] = "true"; // GUI: no dialog appears in the headless test VM
        args[1] = mainClass;
        args[2] = errLog;
        args[3] = outLog;
        args[4] = Boolean.toString(restart);
        args[5] = "C:\\Apps\\My App\\app.exe";
        System.arraycopy(appArgs, 0, args, 6, appArgs.length);
        return args;
    }

    private String err() {
        return new String(errBytes.toByteArray(), Charset.defaultCharset());
    }

    @Test
    public void callsMainWithTheApplicationArguments() throws Exception {
        WinLauncher.main(launcherArgs(RecordingMain.class.getName(), "", "", false,
                "first", "", "with space", "-Dx=y"));
        assertArrayEquals(new String[] { "first", "", "with space", "-Dx=y" }, RecordingMain.received);
        assertEquals("C:\\Apps\\My App\\app.exe", Launcher.getProgramPath());
        assertTrue(Launcher.isGuiApplication());
    }

    @Test
    public void noApplicationArgumentsGiveAnEmptyArray() throws Exception {
        WinLauncher.main(launcherArgs(RecordingMain.class.getName(), "", "", false));
        assertEquals(0, RecordingMain.received.length);
    }

    @Test
    public void applicationExceptionPropagatesUnwrapped() throws Exception {
        try {
            WinLauncher.main(launcherArgs(ThrowingMain.class.getName(), "", "", false));
            fail("no exception");
        } catch (IllegalStateException e) {
            assertSame(ThrowingMain.FAILURE, e);
        }
        try {
            WinLauncher.main(launcherArgs(CheckedThrowingMain.class.getName(), "", "", false));
            fail("no exception");
        } catch (IOException e) {
            assertEquals("disk gone", e.getMessage());
        }
    }

    @Test
    public void failingStaticInitialisationPropagates() throws Exception {
        try {
            WinLauncher.main(launcherArgs(FailingInitMain.class.getName(), "", "", false));
            fail("no exception");
        } catch (ExceptionInInitializerError e) {
            assertEquals("static init failed", e.getCause().getMessage());
        }
    }

    /** { main class, expected exception type, expected text on System.err } */
    private static final Object[][] BROKEN_MAINS = {
        { "com.example.DoesNotExist", ClassNotFoundException.class,
            "Error: could not find or load main class com.example.DoesNotExist (not on the class path)." },
        { "", ClassNotFoundException.class, "Error: no main class is configured." },
        { NoMain.class.getName(), NoSuchMethodException.class,
            "Error: main class " + NoMain.class.getName()
                + " has no method public static void main(String[])." },
        { InstanceMain.class.getName(), NoSuchMethodException.class,
            "Error: the main method of class " + InstanceMain.class.getName() + " is not static" },
    };

    @Test
    public void brokenMainClassesGiveAClearMessageAndPropagate() {
        for (Object[] row : BROKEN_MAINS) {
            errBytes.reset();
            try {
                WinLauncher.main(launcherArgs((String) row[0], "", "", false));
                fail(row[0] + ": no exception");
            } catch (Exception e) {
                assertEquals(row[0] + ": exception type", row[1], e.getClass());
            }
            assertTrue(row[0] + ": message " + err(), err().contains((String) row[2]));
        }
    }

    @Test
    public void tooFewArgumentsAreRefused() throws Exception {
        try {
            WinLauncher.main(new String[] { "false", RecordingMain.class.getName() });
            fail("no exception");
        } catch (IllegalArgumentException e) {
            assertTrue(err().contains("the launcher passed 2 arguments; at least 6 are needed"));
        }
        assertNull(RecordingMain.received);
    }

    @Test
    public void streamsGoToTheLogFilesAndAreAppended() throws Exception {
        File errLog = new File(folder.getRoot(), "logs/err.log");
        File outLog = new File(folder.getRoot(), "out.log");
        Files.write(outLog.toPath(), "earlier\n".getBytes("UTF-8"));
        WinLauncher.main(launcherArgs(RecordingMain.class.getName(), errLog.getPath(),
                outLog.getPath(), false));
        System.err.flush();
        System.out.flush();
        assertEquals("err line" + System.lineSeparator(), read(errLog));
        assertEquals("earlier\nout line" + System.lineSeparator(), read(outLog));
        assertEquals("", err());
    }

    @Test
    public void restartFlagStartsTheLogsAfresh() throws Exception {
        File log = new File(folder.getRoot(), "both.log");
        Files.write(log.toPath(), "old run\n".getBytes("UTF-8"));
        WinLauncher.main(launcherArgs(RecordingMain.class.getName(), log.getPath(),
                new File(folder.getRoot(), "./both.log").getPath(), true));
        // One stream for both: the lines keep their order and neither overwrites the other.
        assertEquals("out line" + System.lineSeparator() + "err line" + System.lineSeparator(),
                read(log));
        assertSame(System.out, System.err);
    }

    @Test
    public void unopenableLogKeepsTheStreamAndWarns() throws Exception {
        File blocker = folder.newFile("not-a-dir");
        String badLog = new File(blocker, "err.log").getPath();
        WinLauncher.main(launcherArgs(RecordingMain.class.getName(), badLog, "", false));
        assertTrue(err(), err().contains("Warning: could not open the log file " + badLog));
        assertTrue(err(), err().contains("err line"));
        assertFalse(new File(badLog).exists());
    }

    @Test
    public void marlowkitLauncherBehavesTheSame() throws Exception {
        com.marlowkit.runtime.launcher.WinLauncher.main(
                launcherArgs(RecordingMain.class.getName(), "", "", false, "x"));
        assertArrayEquals(new String[] { "x" }, RecordingMain.received);
        try {
            com.marlowkit.runtime.launcher.WinLauncher.main(
                    launcherArgs(ThrowingMain.class.getName(), "", "", false));
            fail("no exception");
        } catch (IllegalStateException e) {
            assertSame(ThrowingMain.FAILURE, e);
        }
    }

    static String read(File file) throws IOException {
        return new String(Files.readAllBytes(file.toPath()), Charset.defaultCharset());
    }
}
