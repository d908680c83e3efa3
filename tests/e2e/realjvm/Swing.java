package realapp;

import java.awt.Color;
import java.awt.Dimension;
import javax.swing.JFrame;
import javax.swing.JPanel;
import javax.swing.SwingUtilities;

/** A window of one colour, so that a screenshot can find it. */
final class Swing {
    private static JFrame frame;

    static void show(final String title) throws Exception {
        SwingUtilities.invokeAndWait(new Runnable() {
            public void run() {
                frame = new JFrame(title);
                JPanel panel = new JPanel();
                panel.setBackground(new Color(0, 128, 255));
                panel.setPreferredSize(new Dimension(320, 200));
                frame.setContentPane(panel);
                frame.pack();
                frame.setLocation(40, 40);
                frame.setVisible(true);
            }
        });
    }

    static void close() throws Exception {
        SwingUtilities.invokeAndWait(new Runnable() {
            public void run() {
                frame.dispose();
            }
        });
    }
}
