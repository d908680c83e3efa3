package com.tovex.runtime;

import java.io.File;
import java.io.FileDescriptor;
import java.io.FileOutputStream;
import java.io.IOException;
import java.io.PrintStream;
import java.io.UnsupportedEncodingException;
import java.nio.charset.Charset;

/**
 * Sends System.err and System.out to the configured log files, and gives the console
 * streams the console's code page.
 *
 * <p>Log file names: an empty name means no log. A name that begins with "$" names a
 * file in the user's temporary directory (java.io.tmpdir): "$app\err.log" is
 * "%TEMP%\app\err.log"; an absolute path after the "$" is used as it is; "$" alone means
 * no log. Any other name is used as it is (the launcher has already made it absolute
 * against the executable's directory). Missing parent directories are created. When
 * both logs name the same file they share one stream, so their lines interleave in
 * order. Logs are appended to, or started afresh when {@code restart} is set.
 */
final class LogFiles {
    private LogFiles() {
    }

    /** The file a log name stands for, or null when the name asks for no log. */
    static File resolve(String name) {
        if (name == null || name.isEmpty()) {
            return null;
        }
        if (name.charAt(0) != '$') {
            return new File(name);
        }
        String rest = name.substring(1);
        if (rest.isEmpty()) {
            return null;
        }
        File file = new File(rest);
        if (file.isAbsolute()) {
            return file;
        }
        return new File(System.getProperty("java.io.tmpdir"), rest);
    }

    /**
     * Opens a log file for appending (after truncating it when {@code restart} is set);
     * returns null, after a warning on {@code warnings}, when it cannot be opened. The
     * stream is unbuffered, so nothing written is lost when the process ends abruptly.
     */
    static PrintStream open(File file, boolean restart, PrintStream warnings) {
        try {
            File parent = file.getAbsoluteFile().getParentFile();
            if (parent != null && !parent.isDirectory()) {
                parent.mkdirs();
            }
            if (restart) {
                new FileOutputStream(file, false).close();
            }
            return new PrintStream(new FileOutputStream(file, true), true);
        } catch (IOException e) {
            warnings.println(String.format(Texts.LOG_NOT_OPENED, file, e.getMessage()));
            return null;
        } catch (SecurityException e) {
            warnings.println(String.format(Texts.LOG_NOT_OPENED, file, e.getMessage()));
            return null;
        }
    }

    private static String identity(File file) {
        try {
            return file.getCanonicalPath();
        } catch (IOException e) {
            return file.getAbsolutePath();
        }
    }

    /** The outcome of {@link #redirect}: which standard streams now go to a file. */
    static final class Result {
        final boolean errRedirected;
        final boolean outRedirected;

        Result(boolean err, boolean out) {
            errRedirected = err;
            outRedirected = out;
        }
    }

    /** Points System.err and System.out at the named logs; a stream without a log stays. */
    static Result redirect(String errName, String outName, boolean restart) {
        File errFile = resolve(errName);
        File outFile = resolve(outName);
        PrintStream err = errFile == null ? null : open(errFile, restart, System.err);
        PrintStream out;
        if (outFile != null && errFile != null && err != null
                && identity(outFile).equals(identity(errFile))) {
            out = err;
        } else {
            out = outFile == null ? null : open(outFile, restart, System.err);
        }
        if (err != null) {
            System.setErr(err);
        }
        if (out != null) {
            System.setOut(out);
        }
        return new Result(err != null, out != null);
    }

    /** "cp" and one or more ASCII digits (checked by hand: a regular expression costs a start time). */
    static boolean isCodePageName(String codePage) {
        if (codePage == null || codePage.length() < 3 || !codePage.startsWith("cp")) {
            return false;
        }
        for (int i = 2; i < codePage.length(); i++) {
            if (codePage.charAt(i) < '0' || codePage.charAt(i) > '9') {
                return false;
            }
        }
        return true;
    }

    /** The charset of a "cp<number>" code page, or null when it is absent or unknown. */
    static Charset consoleCharset(String codePage) {
        if (!isCodePageName(codePage)) {
            return null;
        }
        if (codePage.equals("cp65001")) {
            return Charset.forName("UTF-8");
        }
        String[] candidates = { codePage, "IBM" + codePage.substring(2), "x-IBM" + codePage.substring(2),
            "windows-" + codePage.substring(2), "x-windows-" + codePage.substring(2) };
        for (String candidate : candidates) {
            try {
                if (Charset.isSupported(candidate)) {
                    return Charset.forName(candidate);
                }
            } catch (IllegalArgumentException e) {
                // not a usable name; try the next form
            }
        }
        return null;
    }

    /**
     * When the program runs on a console and the launcher reported its code page, encode
     * the console streams not sent to a log in that code page, so that non-ASCII text
     * shows correctly. An explicit -Dsun.stdout.encoding keeps the runtime's choice.
     */
    static void applyConsoleEncoding(Result redirected) {
        if (System.getProperty("sun.stdout.encoding") != null || System.console() == null) {
            return;
        }
        Charset charset = consoleCharset(System.getProperty("tovex.consoleCodepage"));
        if (charset == null) {
            return;
        }
        try {
            if (!redirected.outRedirected) {
                System.out.flush();
                System.setOut(new PrintStream(new FileOutputStream(FileDescriptor.out), true,
                        charset.name()));
            }
            if (!redirected.errRedirected) {
                System.err.flush();
                System.setErr(new PrintStream(new FileOutputStream(FileDescriptor.err), true,
                        charset.name()));
            }
        } catch (UnsupportedEncodingException e) {
            // keep the streams as they are
        }
    }
}
