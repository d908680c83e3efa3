import java.io.PrintWriter;
import java.io.StringWriter;
import java.lang.reflect.InvocationTargetException;
import java.lang.reflect.Method;
import java.lang.reflect.Modifier;
import java.nio.charset.StandardCharsets;
import java.nio.file.DirectoryStream;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.nio.file.StandardCopyOption;
import java.util.ArrayList;
import java.util.List;
import java.util.concurrent.BlockingQueue;
import java.util.concurrent.ExecutorService;
import java.util.concurrent.Executors;
import java.util.concurrent.LinkedBlockingQueue;

/**
 * Host side of the stand-in jvm.dll's bridge mode. Started by the DLL (through a generated sh script) with
 * the session directory as its only argument, on the boot class path so that java.class.path stays the
 * program's own. It answers request files "req-N" with response files "resp-N" (see testing/README.md):
 * "main" and "destroy" run on this VM's main thread, everything else on daemon worker threads. A "kill"
 * file (the Windows process has ended) halts the VM.
 */
public final class StandinBridge {
    private static Path session;
    private static Path watchedProcess;
    private static final BlockingQueue<String[]> MAIN_THREAD_WORK = new LinkedBlockingQueue<String[]>();

    private StandinBridge() {
    }

    public static void main(String[] args) throws Exception {
        session = Paths.get(args[0]);
        if (args.length > 1 && !args[1].equals("0")) {
            watchedProcess = Paths.get("/proc", args[1]);
        }
        Thread dispatcher = new Thread(new Runnable() {
            public void run() {
                dispatch();
            }
        }, "standin-bridge-dispatcher");
        dispatcher.setDaemon(true);
        dispatcher.start();
        writeAtomically("ready", "ready\n");
        for (;;) {
            String[] request = MAIN_THREAD_WORK.take();
            String id = request[0];
            if (request[1].equals("destroy")) {
                respond(id, "ok\n");
                return;  // the VM now ends after the program's other non-daemon threads
            }
            respond(id, runMain(request));
        }
    }

    private static void dispatch() {
        ExecutorService workers = Executors.newCachedThreadPool(r -> {
            Thread t = new Thread(r, "standin-bridge-worker");
            t.setDaemon(true);
            return t;
        });
        long scans = 0;
        for (;;) {
            try {
                if (Files.exists(session.resolve("kill"))
                        || (watchedProcess != null && ++scans % 64 == 0 && processGone())) {
                    Runtime.getRuntime().halt(1);
                }
                List<Path> found = new ArrayList<Path>();
                try (DirectoryStream<Path> stream = Files.newDirectoryStream(session, "req-*")) {
                    for (Path p : stream) {
                        if (!p.getFileName().toString().endsWith(".tmp")) {
                            found.add(p);
                        }
                    }
                }
                for (Path p : found) {
                    String id = p.getFileName().toString().substring(4);
                    String text = new String(Files.readAllBytes(p), StandardCharsets.UTF_8);
                    Files.delete(p);
                    String[] lines = text.split("\n", -1);
                    String[] request = new String[lines.length + 1];
                    request[0] = id;
                    System.arraycopy(lines, 0, request, 1, lines.length);
                    if (request[1].equals("main") || request[1].equals("destroy")) {
                        MAIN_THREAD_WORK.add(request);
                    } else {
                        workers.execute(() -> respond(id, answer(request)));
                    }
                }
                Thread.sleep(3);
            } catch (Throwable t) {
                // A half-written or vanished file: look again at the next scan.
                try {
                    Thread.sleep(3);
                } catch (InterruptedException e) {
                    return;
                }
            }
        }
    }

    /** Whether the watched Windows process has ended: no /proc entry, or a zombie not yet reaped. */
    private static boolean processGone() {
        try {
            String stat = new String(Files.readAllBytes(watchedProcess.resolve("stat")), StandardCharsets.US_ASCII);
            int close = stat.lastIndexOf(')');
            char state = close >= 0 && close + 2 < stat.length() ? stat.charAt(close + 2) : 'X';
            return state == 'Z' || state == 'X';
        } catch (Exception e) {
            return true;
        }
    }

    private static String answer(String[] request) {
        String verb = request[1];
        try {
            if (verb.equals("findclass")) {
                findClass(request[2]);
                return "ok\n";
            }
            if (verb.equals("method")) {
                return findStatic(findClass(request[2]), request[3], request[4]) != null ? "ok\n" : "missing\n";
            }
            if (verb.equals("call")) {
                Method m = findStatic(findClass(request[2]), request[3], request[4]);
                if (m == null) {
                    return "missing\n";
                }
                try {
                    Object result = m.invoke(null);
                    return "result " + format(m.getReturnType(), result) + "\n";
                } catch (InvocationTargetException e) {
                    return exception(e.getCause(), Thread.currentThread().getName());
                }
            }
            return "missing\nunknown request " + verb + "\n";
        } catch (Throwable t) {
            return "missing\n" + escape(t.toString()) + "\n";
        }
    }

    private static String runMain(String[] request) {
        try {
            Class<?> cls = findClass(request[2]);
            List<String> args = new ArrayList<String>();
            for (int i = 3; i < request.length; i++) {
                if (request[i].startsWith("+")) {
                    args.add(unescape(request[i].substring(1)));
                }
            }
            Method m = findStatic(cls, "main", "([Ljava/lang/String;)V");
            if (m == null) {
                return exception(new NoSuchMethodError("main"), "main");
            }
            m.invoke(null, (Object) args.toArray(new String[0]));
            return "returned\n";
        } catch (InvocationTargetException e) {
            return exception(e.getCause(), "main");
        } catch (Throwable t) {
            return exception(t, "main");
        }
    }

    private static Class<?> findClass(String slashName) throws ClassNotFoundException {
        return Class.forName(slashName.replace('/', '.'), true, ClassLoader.getSystemClassLoader());
    }

    private static Method findStatic(Class<?> cls, String name, String sig) {
        for (Class<?> c = cls; c != null; c = c.getSuperclass()) {
            for (Method m : c.getDeclaredMethods()) {
                if (m.getName().equals(name) && Modifier.isStatic(m.getModifiers()) && descriptor(m).equals(sig)) {
                    m.setAccessible(true);
                    return m;
                }
            }
        }
        return null;
    }

    private static String descriptor(Method m) {
        StringBuilder sb = new StringBuilder("(");
        for (Class<?> p : m.getParameterTypes()) {
            sb.append(typeDescriptor(p));
        }
        return sb.append(')').append(typeDescriptor(m.getReturnType())).toString();
    }

    private static String typeDescriptor(Class<?> c) {
        if (c.isArray()) {
            return c.getName().replace('.', '/');
        }
        if (c == void.class) return "V";
        if (c == boolean.class) return "Z";
        if (c == byte.class) return "B";
        if (c == char.class) return "C";
        if (c == short.class) return "S";
        if (c == int.class) return "I";
        if (c == long.class) return "J";
        if (c == float.class) return "F";
        if (c == double.class) return "D";
        return "L" + c.getName().replace('.', '/') + ";";
    }

    private static String format(Class<?> type, Object result) {
        if (type == void.class) {
            return "void";
        }
        if (result == null) {
            return "null";
        }
        if (result instanceof String) {
            return "\"" + escape((String) result) + "\"";
        }
        return String.valueOf(result);
    }

    private static String exception(Throwable t, String threadName) {
        StringWriter trace = new StringWriter();
        t.printStackTrace(new PrintWriter(trace, true));
        StringBuilder kept = new StringBuilder();
        for (String line : trace.toString().split("\n")) {
            // Frames of the bridge's own reflective call are not the program's.
            String s = line.trim();
            if (s.startsWith("at java.base/jdk.internal.reflect.") || s.startsWith("at java.base/java.lang.reflect.Method.invoke")
                    || s.startsWith("at StandinBridge.")) {
                continue;
            }
            kept.append(line.endsWith("\r") ? line.substring(0, line.length() - 1) : line).append('\n');
        }
        String describe = "Exception in thread \"" + threadName + "\" " + kept;
        String message = t.getMessage() == null ? "" : t.getMessage();
        return "exception\n" + t.getClass().getName() + "\n" + escape(message) + "\n" + escape(describe) + "\n";
    }

    private static void respond(String id, String text) {
        writeAtomically("resp-" + id, text);
    }

    private static void writeAtomically(String name, String text) {
        try {
            Path tmp = session.resolve(name + ".tmp");
            Files.write(tmp, text.getBytes(StandardCharsets.UTF_8));
            Files.move(tmp, session.resolve(name), StandardCopyOption.ATOMIC_MOVE,
                    StandardCopyOption.REPLACE_EXISTING);
        } catch (Exception e) {
            System.err.println("standin bridge: cannot write " + name + ": " + e);
        }
    }

    static String escape(String s) {
        StringBuilder sb = new StringBuilder();
        for (char c : s.toCharArray()) {
            switch (c) {
                case '\\': sb.append("\\\\"); break;
                case '\n': sb.append("\\n"); break;
                case '\r': sb.append("\\r"); break;
                case '\t': sb.append("\\t"); break;
                default:
                    if (c < 0x20 || c == 0x7f) {
                        sb.append(String.format("\\x%02X", (int) c));
                    } else {
                        sb.append(c);
                    }
            }
        }
        return sb.toString();
    }

    static String unescape(String s) {
        StringBuilder sb = new StringBuilder();
        for (int i = 0; i < s.length(); i++) {
            char c = s.charAt(i);
            if (c == '\\' && i + 1 < s.length()) {
                char e = s.charAt(++i);
                if (e == 'n') sb.append('\n');
                else if (e == 'r') sb.append('\r');
                else if (e == 't') sb.append('\t');
                else if (e == 'x' && i + 2 < s.length()) {
                    sb.append((char) Integer.parseInt(s.substring(i + 1, i + 3), 16));
                    i += 2;
                } else sb.append(e);
            } else {
                sb.append(c);
            }
        }
        return sb.toString();
    }
}
