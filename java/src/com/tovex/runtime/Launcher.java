package com.tovex.runtime;

import java.io.File;

/**
 * Read-only information about the launch, taken from the system properties the
 * launcher sets and from the leading arguments it passed to {@link WinLauncher}.
 */
public final class Launcher {
    private Launcher() {
    }

    private static volatile String programPath;
    private static volatile boolean guiApplication;

    static void setLaunchArguments(boolean gui, String program) {
        guiApplication = gui;
        programPath = program;
    }

    private static String property(String name) {
        String value = System.getProperty(name);
        return value == null || value.isEmpty() ? null : value;
    }

    /** True when the program was started by the launcher (it sets "tovex.moduleName"). */
    public static boolean isLaunched() {
        return property("tovex.moduleName") != null;
    }

    /** The full path of the launcher executable, or null when not started by it. */
    public static String getModuleName() {
        return property("tovex.moduleName");
    }

    /** The program as written on the command line (argument 6 of the launcher), or null. */
    public static String getProgramPath() {
        return programPath;
    }

    /** True when the launcher is configured as a GUI application (first launcher argument). */
    public static boolean isGuiApplication() {
        return guiApplication;
    }

    /** True for the marlowkit flavour of the launcher. */
    public static boolean isMarlowkit() {
        return Boolean.parseBoolean(System.getProperty("tovex.isMarlowkit"));
    }

    /** The directory the launcher extracted the appended files into, or null when none. */
    public static File getTempDir() {
        String dir = property("tovex.tempDir");
        return dir == null ? null : new File(dir);
    }

    /**
     * The position in the executable where data the launcher did not extract begins;
     * 0 when nothing was extracted, -1 when unknown (a restart for a language change,
     * or not started by the launcher).
     */
    public static long getUnextractedPosition() {
        String value = property("tovex.unextractedPosition");
        if (value == null) {
            return -1;
        }
        try {
            return Long.parseLong(value.trim());
        } catch (NumberFormatException e) {
            return -1;
        }
    }

    /** The name of the launcher's instance semaphore, or null when it has none. */
    public static String getSemaphoreName() {
        return property("tovex.semaphoreName");
    }

    /** The single-instance communication file, or null when not in single-instance mode. */
    public static File getProcessCommFile() {
        String file = property("tovex.processCommFile");
        return file == null ? null : new File(file);
    }

    /** The console code page as "cp" and a number (for example "cp850"), or null. */
    public static String getConsoleCodepage() {
        return property("tovex.consoleCodepage");
    }
}
