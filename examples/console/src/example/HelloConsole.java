package example;

import com.tovex.runtime.Launcher;
import com.tovex.runtime.TovexController;

/** A console program started by a tovex launcher: prints what it was given. */
public final class HelloConsole {
    private HelloConsole() {
    }

    public static void main(String[] args) {
        // The splash is up while the Java runtime starts; a console tool hides it at once.
        TovexController.hideSplash();
        System.out.println("Hello from HelloConsole on Java " + System.getProperty("java.version"));
        System.out.println("greeting: " + System.getProperty("example.greeting", "(none: no HelloConsole.vmoptions)"));
        System.out.println("launcher: " + Launcher.getModuleName());
        System.out.println("jars extracted to: " + Launcher.getTempDir());
        for (int i = 0; i < args.length; i++) {
            System.out.println("argument " + i + ": " + args[i]);
        }
    }
}
