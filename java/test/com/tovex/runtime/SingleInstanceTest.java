package com.tovex.runtime;

import static org.junit.Assert.assertArrayEquals;
import static org.junit.Assert.assertFalse;
import static org.junit.Assert.assertTrue;

import java.io.File;
import java.nio.charset.Charset;
import java.nio.file.Files;
import java.nio.file.StandardOpenOption;
import org.junit.Rule;
import org.junit.Test;
import org.junit.rules.TemporaryFolder;

/** The public entry point, driven by the property the launcher sets. */
public class SingleInstanceTest {
    @Rule
    public TemporaryFolder folder = new TemporaryFolder();

    @Test
    public void listenerReceivesArgumentsOfTheCommFileNamedByTheLauncher() throws Exception {
        File file = new File(folder.getRoot(), "tvx_p42.tmp");
        assertFalse(SingleInstance.isEnabled());
        System.setProperty("tovex.processCommFile", file.getPath());
        try {
            assertTrue(SingleInstance.isEnabled());
            CommFileWatcherTest.Recorder recorder = new CommFileWatcherTest.Recorder(1);
            SingleInstance.setListener(recorder);
            Files.write(file.toPath(), "--open 'My Doc.txt'\n".getBytes(Charset.forName("UTF-16LE")),
                    StandardOpenOption.CREATE_NEW, StandardOpenOption.WRITE);
            assertTrue(recorder.await());
            assertArrayEquals(new String[] { "--open", "My Doc.txt" }, recorder.received.get(0));
            assertFalse(file.exists());
        } finally {
            SingleInstance.setListener(null);
            System.clearProperty("tovex.processCommFile");
        }
    }
}
