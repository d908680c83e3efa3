package com.marlowkit.runtime.launcher;

/**
 * The launcher class of the marlowkit flavour; it behaves exactly like
 * {@link com.tovex.runtime.WinLauncher}.
 */
public final class WinLauncher {
    private WinLauncher() {
    }

    public static void main(String[] args) throws Exception {
        com.tovex.runtime.WinLauncher.main(args);
    }
}
