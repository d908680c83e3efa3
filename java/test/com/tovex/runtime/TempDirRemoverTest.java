package com.tovex.runtime;

import static org.junit.Assert.assertEquals;
import static org.junit.Assert.assertFalse;
import static org.junit.Assert.assertTrue;

import java.io.File;
import java.io.IOException;
import java.nio.charset.Charset;
import java.nio.file.Files;
import java.util.ArrayList;
import java.util.List;
import java.util.concurrent.TimeUnit;
import org.junit.Rule;
import org.junit.Test;
import org.junit.rules.TemporaryFolder;

public class TempDirRemoverTest {
    @Rule
    public TemporaryFolder folder = new TemporaryFolder();

    /** Run in a child VM: proves the directory exists while the program runs. */
    public static class ChildMain {
        public static void main(String[] args) throws IOException {
            File dir = new File(System.getProperty("tovex.tempDir"));
            Files.write(new File(args[0]).toPath(),
                    Boolean.toString(dir.isDirectory()).getBytes("UTF-8"));
        }
    }

    private static void touch(File file) throws IOException {
        file.getParentFile().mkdirs();
        Files.write(file.toPath(), "x".getBytes("UTF-8"));
    }

    private File extractionDir() throws IOException {
        File dir = new File(folder.getRoot(), "tvx1A2B.tmp_dir1700000000");
        touch(new File(dir, "app.jar"));
        touch(new File(dir, "user/lib.jar"));
        touch(new File(dir, "a/b/c/deep.txt"));
        File readOnly = new File(dir, "user/readonly.dll");
        touch(readOnly);
        assertTrue(readOnly.setWritable(false));
        return dir;
    }

    @Test
    public void removesTheWholeTree() throws IOException {
        File dir = extractionDir();
        assertTrue(TempDirRemover.removeRecursively(dir));
        assertFalse(dir.exists());
        assertTrue(folder.getRoot().isDirectory());
    }

    @Test
    public void missingDirectoryCountsAsRemoved() {
        assertTrue(TempDirRemover.removeRecursively(new File(folder.getRoot(), "gone_dir1")));
    }

    @Test
    public void linksAreRemovedButNotFollowed() throws IOException {
        File dir = extractionDir();
        File outside = folder.newFolder("outside");
        File precious = new File(outside, "precious.txt");
        touch(precious);
        try {
            Files.createSymbolicLink(new File(dir, "link").toPath(), outside.toPath());
            Files.createSymbolicLink(new File(dir, "user/filelink").toPath(), precious.toPath());
        } catch (UnsupportedOperationException e) {
            return; // no links on this file system
        }
        assertTrue(TempDirRemover.removeRecursively(dir));
        assertFalse(dir.exists());
        assertTrue(precious.isFile());
    }

    @Test
    public void onlyExtractionDirectoriesAreAccepted() {
        Object[][] cases = {
            { new File(folder.getRoot(), "tvx1.tmp_dir1700000000"), true },
            { new File(folder.getRoot(), "x_dir0"), true },
            { new File(folder.getRoot(), "_dir12"), true },
            { new File(folder.getRoot(), "dir12"), false },
            { new File(folder.getRoot(), "x_Dir12"), false },
            { new File(folder.getRoot(), "tvx1.tmp_dir"), false },
            { new File(folder.getRoot(), "tvx1.tmp_dir17x"), false },
            { new File(folder.getRoot(), "Documents"), false },
            { new File("relative_dir123"), false },
            { new File(File.separator), false },
        };
        for (Object[] row : cases) {
            assertEquals(row[0].toString(), row[1], TempDirRemover.isExtractionDirectory((File) row[0]));
        }
    }

    /** The helper's command line must reach cmd.exe unchanged: no element may need quoting. */
    @Test
    public void cleanupCommandNeedsNoQuoting() {
        List<String> command = TempDirRemover.cleanupCommand("tvx1A.tmp_dir1700000000");
        assertEquals("cmd.exe", command.get(0));
        for (String element : command) {
            assertFalse(element, element.isEmpty() || element.contains(" ")
                    || element.contains("\t") || element.contains("\""));
        }
        assertTrue(command.contains("tvx1A.tmp_dir1700000000"));
        assertTrue(command.contains("tvx1A.tmp_dir1700000000\\"));
    }

    private static String javaExecutable() {
        String java = System.getProperty("tovex.test.java");
        return java != null ? java
                : System.getProperty("java.home") + File.separator + "bin" + File.separator + "java";
    }

    private static String testClassPath() {
        String cp = System.getProperty("tovex.test.classpath");
        return cp != null ? cp : System.getProperty("java.class.path");
    }

    /** Runs WinLauncher in a child VM with the given tempDir; gives its exit code and stderr. */
    private Object[] runChild(File tempDir, File report) throws Exception {
        List<String> command = new ArrayList<String>();
        command.add(javaExecutable());
        command.add("-Djava.awt.headless=true");
        command.add("-Dtovex.tempDir=" + tempDir.getPath());
        command.add("-cp");
        command.add(testClassPath());
        command.add("com.tovex.runtime.WinLauncher");
        command.add("false");
        command.add(ChildMain.class.getName());
        command.add("");
        command.add("");
        command.add("false");
        command.add("app.exe");
        command.add(report.getPath());
        File stderr = new File(folder.getRoot(), "child-stderr.txt");
        Process child = new ProcessBuilder(command).redirectError(stderr)
                .redirectOutput(new File(folder.getRoot(), "child-stdout.txt")).start();
        assertTrue("child VM did not end", child.waitFor(120, TimeUnit.SECONDS));
        return new Object[] { child.exitValue(),
            new String(Files.readAllBytes(stderr.toPath()), Charset.defaultCharset()) };
    }

    @Test
    public void shutdownHookRemovesTheDirectoryWhenTheVmEnds() throws Exception {
        File dir = extractionDir();
        File report = new File(folder.getRoot(), "report.txt");
        Object[] result = runChild(dir, report);
        assertEquals(result[1].toString(), 0, result[0]);
        assertEquals("true", new String(Files.readAllBytes(report.toPath()), "UTF-8"));
        assertFalse(dir.exists());
    }

    @Test
    public void directoryNotNamedLikeAnExtractionDirectoryIsKept() throws Exception {
        File dir = folder.newFolder("Documents");
        touch(new File(dir, "thesis.txt"));
        File report = new File(folder.getRoot(), "report.txt");
        Object[] result = runChild(dir, report);
        assertEquals(result[1].toString(), 0, result[0]);
        assertTrue(new File(dir, "thesis.txt").isFile());
        assertTrue(result[1].toString(), result[1].toString().contains("is not removed"));
    }
}
