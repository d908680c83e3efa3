package example;

import java.awt.BorderLayout;
import java.awt.Color;
import java.awt.Dimension;
import java.awt.event.ActionEvent;
import java.awt.event.KeyEvent;
import javax.swing.AbstractAction;
import javax.swing.JButton;
import javax.swing.JComponent;
import javax.swing.JFrame;
import javax.swing.JLabel;
import javax.swing.JPanel;
import javax.swing.KeyStroke;
import javax.swing.SwingConstants;
import javax.swing.SwingUtilities;
import javax.swing.WindowConstants;

import org.apache.commons.lang3.StringUtils;

/** A window whose title comes from the one dependency, commons-lang3; Close or Escape ends it. */
public final class HelloMaven {
    private HelloMaven() {
    }

    public static void main(String[] args) {
        SwingUtilities.invokeLater(HelloMaven::show);
    }

    private static void show() {
        String title = StringUtils.join(new String[] {"Hello", "Maven"}, ' ');
        JFrame frame = new JFrame(title);
        frame.setDefaultCloseOperation(WindowConstants.EXIT_ON_CLOSE);
        JPanel panel = new JPanel(new BorderLayout());
        panel.setBackground(new Color(0, 160, 80));
        panel.setPreferredSize(new Dimension(360, 200));
        JLabel label = new JLabel(StringUtils.capitalize("built by maven, started by tovex"), SwingConstants.CENTER);
        label.setForeground(Color.WHITE);
        panel.add(label, BorderLayout.CENTER);
        JButton close = new JButton("Close");
        close.addActionListener(e -> System.exit(0));
        panel.add(close, BorderLayout.SOUTH);
        panel.getInputMap(JComponent.WHEN_IN_FOCUSED_WINDOW).put(KeyStroke.getKeyStroke(KeyEvent.VK_ESCAPE, 0), "close");
        panel.getActionMap().put("close", new AbstractAction() {
            @Override
            public void actionPerformed(ActionEvent e) {
                frame.dispose();
                System.exit(0);
            }
        });
        frame.setContentPane(panel);
        frame.pack();
        frame.setLocationRelativeTo(null);
        frame.setVisible(true);
    }
}
