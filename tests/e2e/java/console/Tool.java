package console;

import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.nio.file.StandardCopyOption;

// A command-line tool the console launcher's tests start:
//   wait DIR   writes its process id to DIR/pid, then waits to be ended;
//              its shutdown hook writes DIR/hook
//   echo       copies standard input to standard output
public class Tool {
    public static void main(String[] args) throws Exception {
        if (args[0].equals("echo")) {
            System.in.transferTo(System.out);
            return;
        }
        Path dir = Paths.get(args[1]);
        Runtime.getRuntime().addShutdownHook(new Thread(() -> {
            try {
                Files.write(dir.resolve("hook"), "hook ran\n".getBytes());
            } catch (Exception e) {
                e.printStackTrace();
            }
        }));
        Path pid = dir.resolve("pid.tmp");
        Files.write(pid, Long.toString(ProcessHandle.current().pid()).getBytes());
        Files.move(pid, dir.resolve("pid"), StandardCopyOption.ATOMIC_MOVE);
        Thread.sleep(60000);
    }
}
