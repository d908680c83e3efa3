package com.tovex.runtime;

import java.io.File;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Paths;
import java.util.ArrayList;
import java.util.List;

/**
 * A small launcher class of the stand-in runtime's own, for tests of bridge mode (the real one is built from
 * java/). It writes its arguments and a few system properties, one per line and escaped, to the file named
 * by the system property "standin.out" (when set), then obeys the arguments that begin with "@":
 * "@print=TEXT" and "@stderr=TEXT" write TEXT, "@thread=PATH" starts a non-daemon thread that lives until
 * PATH is gone (at most 120 s), "@throw=MESSAGE" throws an IllegalStateException, "@exit=N" calls
 * System.exit(N).
 */
public final class WinLauncher {
    private WinLauncher() {
    }

    public static void main(String[] args) throws Exception {
        String out = System.getProperty("standin.out");
        if (out != null) {
            List<String> lines = new ArrayList<String>();
            for (int i = 0; i < args.length; i++) {
                lines.add("arg " + i + " " + escape(args[i]));
            }
            for (String name : new String[] {"java.class.path", "tovex.moduleName", "tovex.tempDir", "user.dir",
                    "standin.extra"}) {
                lines.add("property " + name + " " + escape(String.valueOf(System.getProperty(name))));
            }
            Files.write(Paths.get(out), lines, StandardCharsets.UTF_8);
        }
        for (String arg : args) {
            if (arg.startsWith("@print=")) {
                System.out.println(arg.substring(7));
                System.out.flush();
            } else if (arg.startsWith("@stderr=")) {
                System.err.println(arg.substring(8));
            } else if (arg.startsWith("@thread=")) {
                final File gate = new File(arg.substring(8));
                Thread t = new Thread(new Runnable() {
                    public void run() {
                        long end = System.currentTimeMillis() + 120000;
                        while (gate.exists() && System.currentTimeMillis() < end) {
                            try {
                                Thread.sleep(20);
                            } catch (InterruptedException e) {
                                return;
                            }
                        }
                        System.out.println("thread done");
                    }
                }, "standin-worker");
                t.start();
            } else if (arg.startsWith("@throw=")) {
                throw new IllegalStateException(arg.substring(7));
            } else if (arg.startsWith("@exit=")) {
                System.exit(Integer.parseInt(arg.substring(6)));
            }
        }
    }

    static String escape(String s) {
        StringBuilder sb = new StringBuilder();
        for (char c : s.toCharArray()) {
            if (c == '\\') sb.append("\\\\");
            else if (c == '\n') sb.append("\\n");
            else if (c == '\r') sb.append("\\r");
            else if (c == '\t') sb.append("\\t");
            else if (c < 0x20 || c == 0x7f) sb.append(String.format("\\x%02X", (int) c));
            else sb.append(c);
        }
        return sb.toString();
    }
}
