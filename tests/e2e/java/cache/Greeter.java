package cache;

import java.util.Map;
import java.util.TreeMap;

// Started through the startup cache: prints the same lines on every run,
// on both streams, and ends as asked ("exit N" with System.exit(N)).
public class Greeter {
    public static void main(String[] args) {
        Map<String, Integer> counts = new TreeMap<>();
        for (String word : "a rose is a rose is a rose".split(" ")) {
            counts.merge(word, 1, Integer::sum);
        }
        System.out.println("counts " + counts);
        System.out.println("args " + String.join("|", args));
        System.err.println("greeter stderr line");
        if (args.length >= 2 && args[0].equals("exit")) {
            System.exit(Integer.parseInt(args[1]));
        }
    }
}
