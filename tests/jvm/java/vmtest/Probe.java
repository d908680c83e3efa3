package vmtest;

import java.io.FileOutputStream;
import java.io.IOException;
import java.io.OutputStreamWriter;
import java.io.Writer;
import java.nio.charset.StandardCharsets;

/**
 * The application of the real-VM cases. It writes its arguments and some system
 * properties to the file named by "vm.test.out" (UTF-8, one item a line), then acts by
 * "vm.test.mode": "throw" throws, "exit" ends the process with 3, "thread" leaves a
 * non-daemon thread behind that writes "&lt;out&gt;.thread" after main has returned.
 */
public final class Probe {
    private static final String[] PROPERTIES = {
        "tovex.moduleName", "sun.java.command", "tovex.tempDir", "tovex.unextractedPosition",
        "java.library.path", "tovex.consoleCodepage", "tovex.isMarlowkit", "sun.locale.formatasdefault",
        "user.language", "user.country", "vm.test.a", "vm.test.b", "vm.test.file", "vm.test.included",
        "java.class.path",
    };

    public static void main(String[] args) throws Exception {
        final String out = System.getProperty("vm.test.out");
        try (Writer w = new OutputStreamWriter(new FileOutputStream(out), StandardCharsets.UTF_8)) {
            for (String a : args) {
                w.write("arg:" + a + "\n");
            }
            for (String p : PROPERTIES) {
                w.write("prop:" + p + "=" + System.getProperty(p) + "\n");
            }
        }
        String mode = System.getProperty("vm.test.mode", "");
        if (mode.equals("throw")) {
            throw new IllegalStateException("vm test failure");
        } else if (mode.equals("exit")) {
            System.exit(3);
        } else if (mode.equals("thread")) {
            final Thread caller = Thread.currentThread();
            Thread worker = new Thread(new Runnable() {
                @Override
                public void run() {
                    try {
                        // Outlive main: main's frame is gone once the caller no longer runs Probe.main.
                        while (inProbeMain(caller)) {
                            Thread.sleep(20);
                        }
                        try (Writer w = new OutputStreamWriter(new FileOutputStream(out + ".thread"),
                                StandardCharsets.UTF_8)) {
                            w.write("done\n");
                        }
                    } catch (InterruptedException | IOException e) {
                        throw new RuntimeException(e);
                    }
                }
            });
            worker.setDaemon(false);
            worker.start();
        }
    }

    static boolean inProbeMain(Thread t) {
        for (StackTraceElement e : t.getStackTrace()) {
            if (e.getClassName().equals(Probe.class.getName()) && e.getMethodName().equals("main")) {
                return true;
            }
        }
        return false;
    }
}
