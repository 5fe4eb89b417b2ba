package forward;

import java.io.File;
import java.io.FileOutputStream;
import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.util.List;

import org.tarvik.instance.TarvikInstance;

// Started by the launcher as the first instance; writes into RECORD its
// process id, whether forwarding is available and whether it listens, then
// one line for each list of arguments a second launch handed over
// ("[a][b][c d] in FOLDER"), until the file STOP exists.
//   Listener RECORD STOP
public class Listener {
    public static void main(String[] args) throws Exception {
        final File record = new File(args[0]);
        boolean listening = TarvikInstance.listenWithFolder((folder, words) -> {
            StringBuilder line = new StringBuilder();
            for (String word : words) line.append('[').append(word).append(']');
            append(record, line + " in " + folder);
        });
        append(record, "pid=" + ProcessHandle.current().pid() + " available="
                + TarvikInstance.isForwardingAvailable() + " listening=" + listening);
        File stop = new File(args[1]);
        for (int i = 0; i < 600 && !stop.exists(); i++) Thread.sleep(100);
    }

    static synchronized void append(File record, String line) {
        try (FileOutputStream out = new FileOutputStream(record, true)) {
            out.write((line + "\n").getBytes(StandardCharsets.UTF_8));
        } catch (IOException e) {
            throw new RuntimeException(e);
        }
    }
}
