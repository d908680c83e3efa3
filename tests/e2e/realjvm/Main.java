package realapp;

import com.tovex.runtime.SingleInstance;
import com.tovex.runtime.TovexController;
import java.io.File;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.nio.file.StandardOpenOption;
import java.util.concurrent.CountDownLatch;

/**
 * The program of the real-runtime scenarios. It writes what it was given into the report file
 * named by "-Drealapp.report=" (UTF-8, one "key=value" line each, line ends in values escaped),
 * then does what its first argument asks:
 * report | exit N | throw | thread FILE | recurse DEPTH | listen | splash | swing TITLE | read NAME.
 * Scenarios that wait do so on "-Drealapp.gate=": while that file exists, the program waits.
 */
public final class Main {
    private static Path report;

    public static void main(String[] args) throws Exception {
        report = Paths.get(System.getProperty("realapp.report"));
        StringBuilder text = new StringBuilder();
        String[] keys = {"java.version", "java.home", "java.class.path", "java.library.path", "tovex.tempDir",
            "tovex.moduleName", "sun.java.command", "tovex.unextractedPosition", "tovex.semaphoreName",
            "tovex.processCommFile", "tovex.consoleCodepage", "user.language", "user.country",
            "realapp.block", "realapp.file", "realapp.j", "realapp.order", "realapp.path", "java.vm.name"};
        for (String key : keys) line(text, key, System.getProperty(key));
        line(text, "argc", Integer.toString(args.length));
        for (int i = 0; i < args.length; i++) line(text, "arg" + i, args[i]);
        line(text, "loader", Main.class.getClassLoader() == ClassLoader.getSystemClassLoader() ? "system" : "other");
        write(text.toString());
        System.out.println("realapp: started on Java " + System.getProperty("java.version"));
        String command = args.length > 0 ? args[0] : "report";
        switch (command) {
            case "exit":
                System.exit(Integer.parseInt(args[1]));
                break;
            case "throw":
                throw new IllegalStateException("realapp failed on purpose");
            case "thread": {
                final CountDownLatch mainReturned = new CountDownLatch(1);
                final Path marker = Paths.get(args[1]);
                Thread worker = new Thread(new Runnable() {
                    public void run() {
                        try {
                            mainReturned.await();
                            Thread.sleep(500);  // outlives main by far: the VM's end must wait
                            Files.write(marker, "written after main".getBytes(StandardCharsets.UTF_8));
                        } catch (Exception e) {
                            e.printStackTrace();
                        }
                    }
                }, "realapp-worker");
                worker.setDaemon(false);
                worker.start();
                mainReturned.countDown();
                break;
            }
            case "recurse":
                append("recursed=" + recurse(Integer.parseInt(args[1])) + "\n");
                break;
            case "listen":
                SingleInstance.setListener(new SingleInstance.Listener() {
                    public void newInstance(String[] a) {
                        StringBuilder received = new StringBuilder();
                        line(received, "received", String.join("\u0001", a));
                        try {
                            append(received.toString());
                        } catch (Exception e) {
                            e.printStackTrace();
                        }
                    }
                });
                append("listening=1\n");
                waitForGate();
                break;
            case "splash":
                TovexController.setSplashText(args.length > 1 ? args[1] : "Real runtime");
                append("splash-text=1\n");
                waitForGate();
                TovexController.hideSplash();
                append("splash-hidden=1\n");
                break;
            case "swing":
                Swing.show(args[1]);
                append("window=1\n");
                waitForGate();
                Swing.close();
                break;
            case "read": {
                File file = new File(System.getProperty("tovex.tempDir"), args[1]);
                StringBuilder read = new StringBuilder();
                line(read, "read", new String(Files.readAllBytes(file.toPath()), StandardCharsets.UTF_8));
                append(read.toString());
                break;
            }
            default:
                break;
        }
        append("main-returns=1\n");
    }

    /** Each level holds a few hundred bytes of frame; depth 20,000 needs several megabytes of stack. */
    static long recurse(int depth) {
        long a = depth, b = depth * 3L, c = depth * 7L, d = depth ^ 0x5a5a;
        if (depth == 0) return 0;
        return recurse(depth - 1) + ((a + b + c + d) & 1);
    }

    static void waitForGate() throws InterruptedException {
        Path gate = Paths.get(System.getProperty("realapp.gate"));
        while (Files.exists(gate)) Thread.sleep(20);
    }

    static void line(StringBuilder out, String key, String value) {
        String v = value == null ? "<null>" : value.replace("\\", "\\\\").replace("\r", "\\r").replace("\n", "\\n");
        out.append(key).append('=').append(v).append('\n');
    }

    static synchronized void write(String text) throws Exception {
        Files.write(report, text.getBytes(StandardCharsets.UTF_8));
    }

    static synchronized void append(String text) throws Exception {
        Files.write(report, text.getBytes(StandardCharsets.UTF_8), StandardOpenOption.APPEND);
    }
}
