package com.tovex.runtime;

import java.io.File;
import java.io.IOException;
import java.nio.charset.Charset;
import java.nio.file.Files;
import java.util.ArrayDeque;
import java.util.List;

/**
 * Watches the single-instance communication file and hands each argument set to the
 * listener exactly once, in the order the second starts wrote them.
 *
 * <p>The file holds UTF-16LE text without byte-order mark ending in one line feed. The
 * writer creates it exclusively and writes it in one go; a file that cannot be opened
 * yet, or whose text does not yet end with the line feed, is looked at again at the next
 * poll. A complete file is deleted right after reading (the second start waits for that),
 * and its arguments are queued only once the deletion succeeded, so a file is never
 * delivered twice. A file left incomplete and unchanged for {@code stalePolls} polls
 * (its writer died) is removed without delivery, so later starts are not blocked.
 *
 * <p>Two daemon threads: the watcher polls the file, the dispatcher calls the listener, so
 * a slow listener never delays the deletion that a second start waits for. Argument sets
 * that arrive while no listener is set are queued until one is.
 */
final class CommFileWatcher {
    static final long POLL_MILLIS = 50;
    static final int STALE_POLLS = 300;
    private static final Charset UTF_16LE = Charset.forName("UTF-16LE");

    private final File file;
    private final long intervalMillis;
    private final int stalePolls;

    private final Object lock = new Object();
    private final ArrayDeque<String[]> queue = new ArrayDeque<String[]>();
    private SingleInstance.Listener listener;
    private long polls;
    private boolean stopped;

    // Used by the watcher thread only.
    private long incompleteLength = -1;
    private int unchangedPolls;
    private boolean deleteWarned;

    CommFileWatcher(File file, long intervalMillis, int stalePolls) {
        this.file = file;
        this.intervalMillis = intervalMillis;
        this.stalePolls = stalePolls;
    }

    void start() {
        Thread watcher = new Thread(new Runnable() {
            @Override
            public void run() {
                watch();
            }
        }, "tovex-single-instance-watcher");
        Thread dispatcher = new Thread(new Runnable() {
            @Override
            public void run() {
                dispatch();
            }
        }, "tovex-single-instance-dispatcher");
        watcher.setDaemon(true);
        dispatcher.setDaemon(true);
        watcher.start();
        dispatcher.start();
    }

    /** Ends both threads; queued argument sets are dropped. */
    void stop() {
        synchronized (lock) {
            stopped = true;
            lock.notifyAll();
        }
    }

    void setListener(SingleInstance.Listener newListener) {
        synchronized (lock) {
            listener = newListener;
            lock.notifyAll();
        }
    }

    /** Number of completed polls so far. */
    long pollCount() {
        synchronized (lock) {
            return polls;
        }
    }

    /** Waits until at least {@code target} polls are done; false after {@code timeoutMillis}. */
    boolean awaitPolls(long target, long timeoutMillis) throws InterruptedException {
        long deadline = System.currentTimeMillis() + timeoutMillis;
        synchronized (lock) {
            while (polls < target) {
                long left = deadline - System.currentTimeMillis();
                if (left <= 0) {
                    return false;
                }
                lock.wait(left);
            }
            return true;
        }
    }

    private void watch() {
        while (true) {
            pollOnce();
            synchronized (lock) {
                polls++;
                lock.notifyAll();
                if (stopped) {
                    return;
                }
                try {
                    lock.wait(intervalMillis);
                } catch (InterruptedException e) {
                    return;
                }
                if (stopped) {
                    return;
                }
            }
        }
    }

    private void dispatch() {
        while (true) {
            SingleInstance.Listener target;
            String[] args;
            synchronized (lock) {
                while (!stopped && (listener == null || queue.isEmpty())) {
                    try {
                        lock.wait();
                    } catch (InterruptedException e) {
                        return;
                    }
                }
                if (stopped) {
                    return;
                }
                target = listener;
                args = queue.poll();
            }
            try {
                target.newInstance(args);
            } catch (Throwable t) {
                System.err.println(Texts.LISTENER_FAILED);
                t.printStackTrace();
            }
        }
    }

    /** True when {@code data} is UTF-16LE text that ends with a line feed. */
    static boolean isComplete(byte[] data) {
        int n = data.length;
        return n >= 2 && n % 2 == 0 && data[n - 2] == 0x0A && data[n - 1] == 0;
    }

    /** The arguments of a complete file's content. */
    static String[] parse(byte[] data) {
        String text = new String(data, 0, data.length - 2, UTF_16LE);
        List<String> tokens = ArgumentSplitter.split(text);
        return tokens.toArray(new String[tokens.size()]);
    }

    private void pollOnce() {
        if (!file.exists()) {
            incompleteLength = -1;
            unchangedPolls = 0;
            return;
        }
        byte[] data;
        try {
            data = Files.readAllBytes(file.toPath());
        } catch (IOException e) {
            return; // still held by its writer, or gone meanwhile
        }
        if (!isComplete(data)) {
            if (data.length != incompleteLength) {
                incompleteLength = data.length;
                unchangedPolls = 0;
            } else if (++unchangedPolls >= stalePolls && file.delete()) {
                System.err.println(String.format(Texts.COMM_FILE_UNREADABLE, file));
                incompleteLength = -1;
                unchangedPolls = 0;
            }
            return;
        }
        incompleteLength = -1;
        unchangedPolls = 0;
        if (!file.delete()) {
            if (!deleteWarned) {
                System.err.println(String.format(Texts.COMM_FILE_NOT_DELETED, file));
                deleteWarned = true;
            }
            return;
        }
        deleteWarned = false;
        String[] args = parse(data);
        synchronized (lock) {
            queue.add(args);
            lock.notifyAll();
        }
    }
}
