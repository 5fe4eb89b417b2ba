package port;

import java.nio.file.Files;
import java.nio.file.Path;

// Ends with the next of the given exit codes, counting its runs in a file:
//   Exits COUNTER_FILE CODE...
public class Exits {
    public static void main(String[] args) throws Exception {
        Path counter = Path.of(args[0]);
        int run = Files.exists(counter) ? Integer.parseInt(Files.readString(counter).trim()) : 0;
        Files.writeString(counter, Integer.toString(run + 1));
        int index = Math.min(run + 1, args.length - 1);
        System.out.println("run " + run + " of Exits");
        System.out.flush();
        System.exit(Integer.parseInt(args[index]));
    }
}
