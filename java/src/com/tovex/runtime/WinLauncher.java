package com.tovex.runtime;

import java.awt.Dimension;
import java.awt.GraphicsEnvironment;
import java.io.PrintWriter;
import java.io.StringWriter;
import java.lang.invoke.MethodHandle;
import java.lang.invoke.MethodHandles;
import java.lang.reflect.InvocationTargetException;
import java.lang.reflect.Method;
import java.lang.reflect.Modifier;
import java.util.Arrays;

/**
 * The class the launcher calls: it prepares the process and runs the application's main
 * class.
 *
 * <p>Arguments: [0] "true" for a GUI application; [1] the application's main class in
 * dotted form; [2] the error-log file name or ""; [3] the output-log file name or "";
 * [4] "true" to start the log files afresh at every launch instead of appending; [5]
 * the program as written on the command line; then the application's arguments.
 *
 * <p>Failures (no main class, no main method, an exception from the application's main)
 * are printed to System.err and propagate out of {@link #main}, so the launcher sees a
 * pending exception. For a GUI application with a display they are also shown in a
 * dialog before they propagate, since such an application has no console.
 */
public final class WinLauncher {
    private WinLauncher() {
    }

    /** Number of arguments in front of the application's own. */
    static final int LEADING_ARGUMENTS = 6;

    public static void main(String[] args) throws Exception {
        if (args == null || args.length < LEADING_ARGUMENTS) {
            String message = String.format(Texts.TOO_FEW_ARGUMENTS, args == null ? 0 : args.length);
            System.err.println(message);
            throw new IllegalArgumentException(message);
        }
        boolean gui = "true".equals(args[0]);
        String mainClassName = args[1];
        boolean restartLogs = "true".equals(args[4]);
        Launcher.setLaunchArguments(gui, args[5]);

        LogFiles.Result redirected = LogFiles.redirect(args[2], args[3], restartLogs);
        LogFiles.applyConsoleEncoding(redirected);
        TempDirRemover.registerShutdownHook();
        SingleInstance.start();

        Method main = findMain(mainClassName, gui);
        String[] applicationArgs = Arrays.copyOfRange(args, LEADING_ARGUMENTS, args.length);
        try {
            invokeMain(main, applicationArgs);
            SplashRelease.startAfterMain(Thread.currentThread());
        } catch (InvocationTargetException e) {
            Throwable cause = e.getCause() != null ? e.getCause() : e;
            showFailure(gui, Texts.APPLICATION_FAILED, cause);
            throw WinLauncher.<Exception>rethrow(cause);
        } catch (ExceptionInInitializerError e) {
            // The main class's static initialisation failed.
            showFailure(gui, Texts.APPLICATION_FAILED, e);
            throw e;
        } catch (IllegalAccessException e) {
            throw fail(gui, String.format(Texts.MAIN_METHOD_NOT_ACCESSIBLE, mainClassName, e), e);
        }
    }

    /**
     * Calls {@code main} with {@code args}; what main throws comes wrapped in an
     * InvocationTargetException, as from reflection.
     *
     * <p>From Java 18 on, {@code Method.invoke} runs through method handles that it generates
     * classes for on its first call (about 300 classes on Java 25: tens of milliseconds of
     * every start, which the JDK's own launcher does not spend, since it calls main through
     * JNI). A method handle of main's exact type is invoked through the runtime's ready-made
     * forms instead. Older runtimes invoke through reflection, which is the cheap way there.
     */
    static void invokeMain(Method main, String[] args) throws InvocationTargetException, IllegalAccessException {
        if (featureVersion() < 18) {
            main.invoke(null, (Object) args);
            return;
        }
        MethodHandle handle = MethodHandles.lookup().unreflect(main);
        try {
            handle.invokeExact(args);
        } catch (Throwable t) {
            throw new InvocationTargetException(t);
        }
    }

    /** The runtime's feature version: 8 for "1.8.0_392", 17 for "17.0.9", 26 for "26-ea". */
    static int featureVersion() {
        String text = System.getProperty("java.version", "");
        if (text.startsWith("1.")) {
            text = text.substring(2);
        }
        int version = 0;
        for (int i = 0; i < text.length() && Character.isDigit(text.charAt(i)); i++) {
            version = version * 10 + (text.charAt(i) - '0');
        }
        return version;
    }

    /** Loads the main class with the system class loader and finds its main method. */
    static Method findMain(String name, boolean gui) throws Exception {
        if (name == null || name.trim().isEmpty()) {
            throw fail(gui, Texts.NO_MAIN_CLASS, new ClassNotFoundException(Texts.NO_MAIN_CLASS));
        }
        Class<?> mainClass;
        try {
            mainClass = Class.forName(name, false, ClassLoader.getSystemClassLoader());
        } catch (ClassNotFoundException e) {
            throw fail(gui, String.format(Texts.MAIN_CLASS_NOT_FOUND, name), e);
        } catch (LinkageError e) {
            throw fail(gui, String.format(Texts.MAIN_CLASS_NOT_LOADED, name, e), e);
        }
        Method main;
        try {
            main = mainClass.getMethod("main", String[].class);
        } catch (NoSuchMethodException e) {
            throw fail(gui, String.format(Texts.MAIN_METHOD_NOT_FOUND, name), e);
        } catch (LinkageError e) {
            throw fail(gui, String.format(Texts.MAIN_CLASS_NOT_LOADED, name, e), e);
        }
        if (!Modifier.isStatic(main.getModifiers())) {
            throw fail(gui, String.format(Texts.MAIN_METHOD_NOT_STATIC, name),
                    new NoSuchMethodException(String.format(Texts.MAIN_METHOD_NOT_STATIC, name)));
        }
        if (main.getReturnType() != void.class) {
            throw fail(gui, String.format(Texts.MAIN_METHOD_NOT_FOUND, name),
                    new NoSuchMethodException(String.format(Texts.MAIN_METHOD_NOT_FOUND, name)));
        }
        try {
            // A public main in a class that is not public itself is still callable.
            main.setAccessible(true);
        } catch (RuntimeException e) {
            // keep the normal access rules
        }
        return main;
    }

    /** Prints {@code message}, shows it for a GUI application, and gives the failure to throw. */
    private static Exception fail(boolean gui, String message, Throwable cause) {
        System.err.println(message);
        showFailure(gui, message, null);
        return WinLauncher.<RuntimeException>rethrow(cause);
    }

    /** A dialog for GUI applications when a display is there; never fails the caller. */
    static void showFailure(boolean gui, final String message, final Throwable failure) {
        if (!gui || GraphicsEnvironment.isHeadless()) {
            return;
        }
        try {
            final StringBuilder text = new StringBuilder(message);
            if (failure != null) {
                StringWriter trace = new StringWriter();
                failure.printStackTrace(new PrintWriter(trace));
                text.append("\n\n").append(trace);
            }
            javax.swing.SwingUtilities.invokeAndWait(new Runnable() {
                @Override
                public void run() {
                    javax.swing.JTextArea area = new javax.swing.JTextArea(text.toString());
                    area.setEditable(false);
                    area.setCaretPosition(0);
                    javax.swing.JScrollPane pane = new javax.swing.JScrollPane(area);
                    pane.setPreferredSize(new Dimension(640, failure == null ? 120 : 320));
                    javax.swing.JOptionPane.showMessageDialog(null, pane, Texts.DIALOG_TITLE,
                            javax.swing.JOptionPane.ERROR_MESSAGE);
                }
            });
        } catch (Throwable t) {
            // The dialog is a courtesy; the failure itself is reported on System.err.
        }
    }

    /** Throws {@code t} unchanged, checked or not; the declared result only satisfies javac. */
    @SuppressWarnings("unchecked")
    private static <T extends Throwable> T rethrow(Throwable t) throws T {
        throw (T) t;
    }
}
