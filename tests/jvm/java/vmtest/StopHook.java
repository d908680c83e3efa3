package vmtest;

/** A first-run hook that asks the launcher to stop; it leaves "vm.test.hook" behind as proof. */
public final class StopHook {
    public static boolean firstRun() throws java.io.IOException {
        new java.io.FileOutputStream(System.getProperty("vm.test.hook")).close();
        return false;
    }
}
