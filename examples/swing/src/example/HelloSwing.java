package example;

import com.tovex.runtime.SingleInstance;
import com.tovex.runtime.TovexController;
import java.awt.BorderLayout;
import java.util.Arrays;
import javax.swing.BorderFactory;
import javax.swing.DefaultListModel;
import javax.swing.JButton;
import javax.swing.JFrame;
import javax.swing.JLabel;
import javax.swing.JList;
import javax.swing.JScrollPane;
import javax.swing.SwingUtilities;

/**
 * A Swing program in single-instance mode: a later start of HelloSwing.exe hands
 * its arguments to this window, which lists them and comes to the front.
 * "HelloSwing.exe --quit" closes the running window.
 */
public final class HelloSwing {
    private final JFrame frame = new JFrame();
    private final DefaultListModel<String> starts = new DefaultListModel<>();

    public static void main(final String[] args) throws Exception {
        TovexController.setSplashText("Opening the window ...");
        SwingUtilities.invokeAndWait(() -> new HelloSwing().open(args));
    }

    private void open(String[] args) {
        String greeting = System.getProperty("example.greeting", "(no HelloSwing.vmoptions beside the exe)");
        JLabel label = new JLabel(greeting);
        label.setBorder(BorderFactory.createEmptyBorder(8, 8, 8, 8));
        JButton quit = new JButton("Quit");
        quit.addActionListener(e -> System.exit(0));
        frame.add(label, BorderLayout.NORTH);
        frame.add(new JScrollPane(new JList<>(starts)), BorderLayout.CENTER);
        frame.add(quit, BorderLayout.SOUTH);
        frame.setDefaultCloseOperation(JFrame.EXIT_ON_CLOSE);
        addStart("first start", args);
        frame.setSize(520, 320);
        frame.setLocationRelativeTo(null);
        frame.setVisible(true);
        TovexController.hideSplash();
        // Later starts arrive on a thread of the listener; the window is changed on the event thread.
        SingleInstance.setListener(later -> SwingUtilities.invokeLater(() -> {
            if (later.length == 1 && later[0].equals("--quit")) {
                System.exit(0);
            }
            addStart("later start", later);
            frame.toFront();
        }));
    }

    private void addStart(String what, String[] args) {
        starts.addElement(what + ": " + Arrays.toString(args));
        int n = starts.size();
        frame.setTitle("Hello Swing window (" + n + (n == 1 ? " start)" : " starts)"));
    }
}
