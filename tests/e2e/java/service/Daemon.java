package service;

import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.nio.file.StandardCopyOption;
import java.nio.file.StandardOpenOption;

// A long-running application the service launcher's tests start as
// `Daemon DIR WORDS...`: writes its words to DIR/args and its process id to
// DIR/pid, then waits to be ended; its shutdown hook says it stops and
// writes DIR/hook.
// `Daemon DIR exit N` adds a line to DIR/runs and ends with N at once;
// `Daemon DIR halt N` adds it too, and, when it is ended, ends with N.
public class Daemon {
    public static void main(String[] args) throws Exception {
        Path dir = Paths.get(args[0]);
        if (args.length == 3 && (args[1].equals("exit") || args[1].equals("halt"))) {
            Files.write(dir.resolve("runs"), "run\n".getBytes(),
                        StandardOpenOption.CREATE, StandardOpenOption.APPEND);
            int code = Integer.parseInt(args[2]);
            if (args[1].equals("exit"))
                System.exit(code);
            Runtime.getRuntime().addShutdownHook(
                new Thread(() -> Runtime.getRuntime().halt(code)));
        }
        Runtime.getRuntime().addShutdownHook(new Thread(() -> {
            System.out.println("daemon stopping");
            try {
                Files.write(dir.resolve("hook"), "hook ran\n".getBytes());
            } catch (Exception e) {
                e.printStackTrace();
            }
        }));
        Files.write(dir.resolve("args"), String.join("\n", args).getBytes("UTF-8"));
        Path pid = dir.resolve("pid.tmp");
        Files.write(pid, Long.toString(ProcessHandle.current().pid()).getBytes());
        Files.move(pid, dir.resolve("pid"), StandardCopyOption.ATOMIC_MOVE);
        System.out.println("daemon running");
        Thread.sleep(120000);
    }
}
