package com.tovex.runtime;

import java.io.File;
import java.io.IOException;
import java.nio.file.AccessDeniedException;
import java.nio.file.FileVisitResult;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.SimpleFileVisitor;
import java.nio.file.attribute.BasicFileAttributes;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;

/**
 * Removes the launcher's extraction directory ("tovex.tempDir") when the VM ends.
 *
 * <p>Only a directory whose name has the launcher's form (ends in "_dir" and digits)
 * and that is not a file-system root is ever removed, so a misconfigured property
 * cannot wipe a user's directory. Links and junctions inside it are removed as links;
 * their targets are left alone. Files the VM itself still holds open (archives on the
 * class path, loaded native libraries) cannot be deleted on Windows while the process
 * runs; for those a hidden cmd.exe helper, started when the hook could not remove
 * everything, retries the removal once a second for up to a minute after the process has
 * gone.
 */
final class TempDirRemover {
    private TempDirRemover() {
    }

    private static boolean hookRegistered;

    /** Registers the shutdown hook once per VM when "tovex.tempDir" names a directory. */
    static synchronized void registerShutdownHook() {
        if (hookRegistered) {
            return;
        }
        String value = System.getProperty("tovex.tempDir");
        if (value == null || value.isEmpty()) {
            return;
        }
        final File dir = new File(value);
        if (!dir.isDirectory()) {
            return;
        }
        if (!isExtractionDirectory(dir)) {
            System.err.println(String.format(Texts.TEMP_DIR_REFUSED, value));
            return;
        }
        hookRegistered = true;
        Runtime.getRuntime().addShutdownHook(new Thread("tovex-tempdir-removal") {
            @Override
            public void run() {
                if (!removeRecursively(dir) && isWindows()) {
                    removeAfterExit(dir);
                }
            }
        });
    }

    /** True when {@code dir} is absolute, not a root, and named like an extraction directory. */
    static boolean isExtractionDirectory(File dir) {
        return dir.isAbsolute() && dir.getParentFile() != null
                && isExtractionName(dir.getName());
    }

    // Names are checked by hand, not with java.util.regex: a compiled pattern brings in the
    // lambda machinery, tens of milliseconds of every start on a runtime without a CDS archive.

    /** A name ending in "_dir" and one or more ASCII digits. */
    static boolean isExtractionName(String name) {
        int end = name.length();
        int digits = end;
        while (digits > 0 && name.charAt(digits - 1) >= '0' && name.charAt(digits - 1) <= '9') {
            digits--;
        }
        return digits < end && name.startsWith("_dir", digits - 4);
    }

    /** A non-empty name of ASCII letters, digits, '.', '_' and '-'. */
    static boolean isPlainName(String name) {
        if (name.isEmpty()) {
            return false;
        }
        for (int i = 0; i < name.length(); i++) {
            char c = name.charAt(i);
            boolean plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')
                    || c == '.' || c == '_' || c == '-';
            if (!plain) {
                return false;
            }
        }
        return true;
    }

    /**
     * Deletes {@code dir} and everything below it, as far as possible; returns true when
     * the directory is gone afterwards (also when it did not exist).
     */
    static boolean removeRecursively(File dir) {
        Path root = dir.toPath();
        if (!Files.exists(root, java.nio.file.LinkOption.NOFOLLOW_LINKS)) {
            return true;
        }
        try {
            Files.walkFileTree(root, new SimpleFileVisitor<Path>() {
                @Override
                public FileVisitResult preVisitDirectory(Path d, BasicFileAttributes attrs) {
                    // A junction (a reparse point reported as a directory) is removed as a
                    // link, never entered.
                    if (attrs.isOther() && !d.equals(root)) {
                        delete(d);
                        return FileVisitResult.SKIP_SUBTREE;
                    }
                    return FileVisitResult.CONTINUE;
                }

                @Override
                public FileVisitResult visitFile(Path file, BasicFileAttributes attrs) {
                    delete(file);
                    return FileVisitResult.CONTINUE;
                }

                @Override
                public FileVisitResult visitFileFailed(Path file, IOException e) {
                    delete(file);
                    return FileVisitResult.CONTINUE;
                }

                @Override
                public FileVisitResult postVisitDirectory(Path d, IOException e) {
                    delete(d);
                    return FileVisitResult.CONTINUE;
                }
            });
        } catch (IOException e) {
            // Whatever could not be visited stays; the result below says so.
        }
        return !Files.exists(root, java.nio.file.LinkOption.NOFOLLOW_LINKS);
    }

    private static void delete(Path path) {
        try {
            Files.deleteIfExists(path);
        } catch (AccessDeniedException e) {
            // A read-only file cannot be deleted on Windows: clear the flag and retry.
            if (path.toFile().setWritable(true)) {
                try {
                    Files.deleteIfExists(path);
                } catch (IOException again) {
                    // left in place
                }
            }
        } catch (IOException e) {
            // left in place (open by this process, or not empty)
        }
    }

    private static boolean isWindows() {
        return System.getProperty("os.name", "").startsWith("Windows");
    }

    /**
     * The command of the helper that removes the directory {@code name} (in the helper's
     * working directory) after this process has released its files: it retries once a
     * second for up to a minute and stops trying as soon as the directory is gone. It is
     * only used for names of plain characters, so nothing needs quoting, and no element
     * holds a blank, so the command line reaches cmd.exe exactly as written here. The
     * body avoids parenthesised blocks: every command after "do" and after "if" up to the
     * end of the line belongs to the loop and to the condition.
     */
    static List<String> cleanupCommand(String name) {
        String dirTest = name + "\\";
        return new ArrayList<String>(Arrays.asList("cmd.exe", "/d", "/q", "/c",
                "for", "/l", "%i", "in", "(1,1,60)", "do", "@if", "exist", dirTest,
                "rmdir", "/s", "/q", name, "2>nul", "&", "if", "exist", dirTest,
                "ping", "-n", "2", "127.0.0.1", ">nul"));
    }

    private static void removeAfterExit(File dir) {
        File parent = dir.getAbsoluteFile().getParentFile();
        if (parent == null || !isPlainName(dir.getName())) {
            return;
        }
        try {
            ProcessBuilder builder = new ProcessBuilder(cleanupCommand(dir.getName()));
            builder.directory(parent);
            builder.redirectErrorStream(true);
            builder.redirectOutput(ProcessBuilder.Redirect.to(new File("NUL")));
            builder.redirectInput(ProcessBuilder.Redirect.from(new File("NUL")));
            builder.start();
        } catch (IOException e) {
            // Nothing more can be done; the directory stays in the temporary directory.
        } catch (RuntimeException e) {
            // as above
        }
    }
}
