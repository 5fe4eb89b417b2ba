import java.awt.BorderLayout;
import java.io.File;
import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.util.List;
import javax.swing.JFrame;
import javax.swing.JScrollPane;
import javax.swing.JTabbedPane;
import javax.swing.JTextArea;
import javax.swing.SwingUtilities;

import org.tarvik.instance.TarvikInstance;

// A small viewer that opens each file it is given in a tab: the files of
// its own command line, and those of every second launch, which Tarvik
// hands over to this one (singleInstance in viewer.config).
public class Viewer {
    private final JFrame frame = new JFrame("Viewer");
    private final JTabbedPane tabs = new JTabbedPane();

    public static void main(String[] args) throws Exception {
        Viewer viewer = new Viewer();
        SwingUtilities.invokeAndWait(() -> viewer.show(args, new File(".")));
        // The listener runs on the library's thread: Swing's work goes to
        // the event thread.
        TarvikInstance.listenWithFolder((folder, files) -> SwingUtilities.invokeLater(
                () -> viewer.show(files.toArray(new String[0]), new File(folder))));
    }

    private void show(String[] files, File folder) {
        if (!frame.isVisible()) {
            frame.add(tabs, BorderLayout.CENTER);
            frame.setSize(640, 480);
            frame.setDefaultCloseOperation(JFrame.EXIT_ON_CLOSE);
            frame.setVisible(true);
        }
        for (String name : files) {
            // A relative name is the second launch's folder's.
            File file = new File(name).isAbsolute() ? new File(name) : new File(folder, name);
            JTextArea text = new JTextArea();
            try {
                text.setText(new String(Files.readAllBytes(file.toPath()), StandardCharsets.UTF_8));
            } catch (IOException e) {
                text.setText("Cannot read " + file + ": " + e.getMessage());
            }
            tabs.addTab(file.getName(), new JScrollPane(text));
            tabs.setSelectedIndex(tabs.getTabCount() - 1);
        }
        // Brought to the front for the files (Windows lets it: the second
        // launch allowed it).
        frame.toFront();
    }
}
