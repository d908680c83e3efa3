package demo;

import com.tovex.runtime.TovexController;

/** The demo application: shows its splash status, prints what it was given, hides the splash. */
public final class HelloTovex {
    public static void main(String[] args) throws Exception {
        TovexController.setSplashText("Loading the demo ...");
        System.out.println("Hello from a Java program started by tovex!");
        System.out.println("java.version   = " + System.getProperty("java.version"));
        System.out.println("tovex.moduleName = " + System.getProperty("tovex.moduleName"));
        System.out.println("demo.greeting  = " + System.getProperty("demo.greeting"));
        for (int i = 0; i < args.length; i++) {
            System.out.println("arg " + i + ": " + args[i]);
        }
        TovexController.hideSplash();
    }
}
