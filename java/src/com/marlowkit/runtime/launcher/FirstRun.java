package com.marlowkit.runtime.launcher;

import java.io.File;
import java.io.IOException;
import java.io.InputStream;
import java.lang.reflect.InvocationTargetException;
import java.lang.reflect.Method;
import java.lang.reflect.Modifier;
import java.net.URL;
import java.security.CodeSource;
import java.util.ArrayList;
import java.util.Enumeration;
import java.util.List;
import java.util.jar.Manifest;

/**
 * The first-run step of the marlowkit flavour.
 *
 * <p>An installer leaves the marker file "&lt;installation root&gt;\.marlowkit\firstrun";
 * while it exists the launcher calls {@link #firstRun} before the application's main
 * class. This runs the application's first-run hook once and then deletes the marker:
 *
 * <ul>
 * <li>The hook is the class named by the system property "tovex.firstRunHook" or, when
 * that is not set, by the main attribute "Tovex-FirstRun-Hook" of the first jar manifest on
 * the class path that has it. It must have a method {@code public static boolean
 * firstRun()} (or one returning void, which counts as true).</li>
 * <li>The hook returns true: the marker is deleted and the launch goes on. It returns
 * false: the launch stops (the launcher ends normally without calling main) and the
 * marker stays, so the step repeats at the next start (a hook that wants no repetition
 * deletes {@link #getMarkerFile()} itself).</li>
 * <li>The hook throws, or cannot be loaded: a warning on System.err, the marker stays,
 * and the launch goes on.</li>
 * <li>No hook configured: the marker is deleted and the launch goes on.</li>
 * <li>The marker is searched under the installation root, found as the system property
 * "tovex.installationRoot", else the parent of the ".marlowkit" directory holding this
 * jar (mlkruntime.jar), else the executable's directory and its ancestors. When it is not
 * found the hook is not run (it could not be run only once) and the launch goes on.</li>
 * </ul>
 *
 * <p>The step runs at most once per VM and never throws.
 */
public final class FirstRun {
    private FirstRun() {
    }

    static final String HOOK_PROPERTY = "tovex.firstRunHook";
    static final String HOOK_ATTRIBUTE = "Tovex-FirstRun-Hook";
    static final String ROOT_PROPERTY = "tovex.installationRoot";
    static final String MARKER_DIRECTORY = ".marlowkit";
    static final String MARKER_NAME = "firstrun";

    static final String NO_MARKER =
            "Warning: first-run marker .marlowkit\\firstrun not found; set -Dtovex.installationRoot. The first-run hook is not run.";
    static final String HOOK_UNUSABLE = "Warning: first-run hook %s could not be used: %s";
    static final String HOOK_FAILED =
            "Warning: first-run hook %s failed; it runs again at the next start:";
    static final String MARKER_KEPT = "Warning: could not delete the first-run marker %s.";

    private static boolean done;
    private static boolean lastResult = true;

    /** Runs the first-run step; false asks the launcher to stop the launch. */
    public static synchronized boolean firstRun() {
        if (done) {
            return lastResult;
        }
        done = true;
        try {
            lastResult = runStep();
        } catch (RuntimeException e) {
            System.err.println(String.format(HOOK_FAILED, "?"));
            e.printStackTrace();
            lastResult = true;
        } catch (LinkageError e) {
            System.err.println(String.format(HOOK_FAILED, "?"));
            e.printStackTrace();
            lastResult = true;
        }
        return lastResult;
    }

    /** The first-run marker of this installation, or null when it cannot be found. */
    public static File getMarkerFile() {
        for (File root : candidateRoots()) {
            File marker = new File(new File(root, MARKER_DIRECTORY), MARKER_NAME);
            if (marker.isFile()) {
                return marker;
            }
        }
        return null;
    }

    /** Allows the step to run again (tests only). */
    static synchronized void reset() {
        done = false;
        lastResult = true;
    }

    private static boolean runStep() {
        File marker = getMarkerFile();
        if (marker == null) {
            System.err.println(NO_MARKER);
            return true;
        }
        String hookName = hookName();
        if (hookName == null) {
            deleteMarker(marker);
            return true;
        }
        Method hook;
        try {
            Class<?> hookClass = Class.forName(hookName, true, ClassLoader.getSystemClassLoader());
            hook = hookClass.getMethod("firstRun");
            if (!Modifier.isStatic(hook.getModifiers())) {
                throw new NoSuchMethodException("firstRun() is not static");
            }
            hook.setAccessible(true);
        } catch (Exception e) {
            System.err.println(String.format(HOOK_UNUSABLE, hookName, e));
            return true;
        } catch (LinkageError e) {
            System.err.println(String.format(HOOK_UNUSABLE, hookName, e));
            return true;
        }
        Object result;
        try {
            result = hook.invoke(null);
        } catch (InvocationTargetException e) {
            System.err.println(String.format(HOOK_FAILED, hookName));
            (e.getCause() != null ? e.getCause() : e).printStackTrace();
            return true;
        } catch (IllegalAccessException e) {
            System.err.println(String.format(HOOK_UNUSABLE, hookName, e));
            return true;
        } catch (ExceptionInInitializerError e) {
            System.err.println(String.format(HOOK_FAILED, hookName));
            e.printStackTrace();
            return true;
        }
        if (Boolean.FALSE.equals(result)) {
            return false;
        }
        deleteMarker(marker);
        return true;
    }

    private static void deleteMarker(File marker) {
        if (!marker.delete() && marker.exists()) {
            System.err.println(String.format(MARKER_KEPT, marker));
        }
    }

    private static String hookName() {
        String name = System.getProperty(HOOK_PROPERTY);
        if (name != null && !name.trim().isEmpty()) {
            return name.trim();
        }
        try {
            Enumeration<URL> manifests =
                    ClassLoader.getSystemClassLoader().getResources("META-INF/MANIFEST.MF");
            while (manifests.hasMoreElements()) {
                InputStream in = manifests.nextElement().openStream();
                try {
                    String value = new Manifest(in).getMainAttributes().getValue(HOOK_ATTRIBUTE);
                    if (value != null && !value.trim().isEmpty()) {
                        return value.trim();
                    }
                } finally {
                    in.close();
                }
            }
        } catch (IOException e) {
            // an unreadable manifest names no hook
        }
        return null;
    }

    private static List<File> candidateRoots() {
        List<File> roots = new ArrayList<File>();
        String root = System.getProperty(ROOT_PROPERTY);
        if (root != null && !root.isEmpty()) {
            roots.add(new File(root));
        }
        try {
            CodeSource source = FirstRun.class.getProtectionDomain().getCodeSource();
            if (source != null && source.getLocation() != null
                    && "file".equals(source.getLocation().getProtocol())) {
                File jarDir = new File(source.getLocation().toURI()).getParentFile();
                if (jarDir != null && MARKER_DIRECTORY.equalsIgnoreCase(jarDir.getName())
                        && jarDir.getParentFile() != null) {
                    roots.add(jarDir.getParentFile());
                }
            }
        } catch (Exception e) {
            // no usable code source
        }
        String module = System.getProperty("tovex.moduleName");
        if (module != null && !module.isEmpty()) {
            for (File dir = new File(module).getAbsoluteFile().getParentFile(); dir != null;
                    dir = dir.getParentFile()) {
                roots.add(dir);
            }
        }
        return roots;
    }
}
