package com.marlowkit.runtime.launcher;

import static org.junit.Assert.assertEquals;
import static org.junit.Assert.assertTrue;

import java.io.ByteArrayOutputStream;
import java.io.File;
import java.io.IOException;
import java.io.PrintStream;
import java.nio.file.Files;
import org.junit.After;
import org.junit.Before;
import org.junit.Rule;
import org.junit.Test;
import org.junit.rules.TemporaryFolder;

public class FirstRunTest {
    @Rule
    public TemporaryFolder folder = new TemporaryFolder();

    private PrintStream originalErr;
    private ByteArrayOutputStream errBytes;

    static int calls;

    public static class ContinueHook {
        public static boolean firstRun() {
            calls++;
            return true;
        }
    }

    public static class StopHook {
        public static boolean firstRun() {
            calls++;
            return false;
        }
    }

    public static class VoidHook {
        public static void firstRun() {
            calls++;
        }
    }

    public static class ThrowingHook {
        public static boolean firstRun() {
            calls++;
            throw new IllegalStateException("hook failed (expected by the test)");
        }
    }

    public static class InstanceHook {
        public boolean firstRun() {
            calls++;
            return true;
        }
    }

    @Before
    public void setUp() {
        FirstRun.reset();
        calls = 0;
        originalErr = System.err;
        errBytes = new ByteArrayOutputStream();
        System.setErr(new PrintStream(errBytes, true));
    }

    @After
    public void tearDown() {
        System.setErr(originalErr);
        System.clearProperty(FirstRun.HOOK_PROPERTY);
        System.clearProperty(FirstRun.ROOT_PROPERTY);
        System.clearProperty("tovex.moduleName");
        FirstRun.reset();
    }

    private File marker(File root) throws IOException {
        File marker = new File(new File(root, ".marlowkit"), "firstrun");
        marker.getParentFile().mkdirs();
        Files.write(marker.toPath(), new byte[0]);
        return marker;
    }

    /** { hook class or null, result, hook calls, marker kept, text on System.err or null } */
    private static final Object[][] CASES = {
        { ContinueHook.class.getName(), true, 1, false, null },
        { StopHook.class.getName(), false, 1, true, null },
        { VoidHook.class.getName(), true, 1, false, null },
        { ThrowingHook.class.getName(), true, 1, true, "hook failed (expected by the test)" },
        { InstanceHook.class.getName(), true, 0, true, "could not be used" },
        { "com.example.MissingHook", true, 0, true, "could not be used" },
        { null, true, 0, false, null },
    };

    @Test
    public void hookOutcomes() throws IOException {
        for (Object[] row : CASES) {
            FirstRun.reset();
            calls = 0;
            errBytes.reset();
            File root = folder.newFolder();
            File marker = marker(root);
            System.setProperty(FirstRun.ROOT_PROPERTY, root.getPath());
            if (row[0] != null) {
                System.setProperty(FirstRun.HOOK_PROPERTY, (String) row[0]);
            } else {
                System.clearProperty(FirstRun.HOOK_PROPERTY);
            }
            String name = String.valueOf(row[0]);
            assertEquals(name + ": result", row[1], FirstRun.firstRun());
            assertEquals(name + ": calls", row[2], calls);
            assertEquals(name + ": marker kept", row[3], marker.exists());
            String err = errBytes.toString();
            if (row[4] != null) {
                assertTrue(name + ": " + err, err.contains((String) row[4]));
            } else {
                assertEquals(name, "", err);
            }
        }
    }

    @Test
    public void runsOncePerVm() throws IOException {
        File root = folder.newFolder();
        marker(root);
        System.setProperty(FirstRun.ROOT_PROPERTY, root.getPath());
        System.setProperty(FirstRun.HOOK_PROPERTY, StopHook.class.getName());
        assertEquals(false, FirstRun.firstRun());
        assertEquals(false, FirstRun.firstRun());
        assertEquals(1, calls);
    }

    @Test
    public void markerIsFoundAboveTheExecutable() throws IOException {
        File root = folder.newFolder();
        File marker = marker(root);
        System.setProperty("tovex.moduleName", new File(root, "bin/app.exe").getPath());
        System.setProperty(FirstRun.HOOK_PROPERTY, ContinueHook.class.getName());
        assertEquals(marker.getAbsoluteFile(), FirstRun.getMarkerFile().getAbsoluteFile());
        assertTrue(FirstRun.firstRun());
        assertEquals(1, calls);
        assertTrue(!marker.exists());
    }

    @Test
    public void withoutAMarkerTheHookDoesNotRun() throws IOException {
        System.setProperty(FirstRun.ROOT_PROPERTY, folder.newFolder().getPath());
        System.setProperty(FirstRun.HOOK_PROPERTY, ContinueHook.class.getName());
        assertTrue(FirstRun.firstRun());
        assertEquals(0, calls);
        assertTrue(errBytes.toString().contains("first-run marker"));
    }
}
