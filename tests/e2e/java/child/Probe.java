package child;

import java.lang.management.ManagementFactory;

// Started by the launcher as its Java child; tells the test what it was
// given and ends as asked:
//   exit N        ends with System.exit(N) after printing
//   sleep MILLIS  sleeps, then prints "slept" and ends normally
//   mark FILE     writes "ran" into FILE after printing
//   anything else is just printed
public class Probe {
    public static void main(String[] args) throws Exception {
        System.out.println("argc=" + args.length);
        for (int i = 0; i < args.length; i++) {
            System.out.println("arg[" + i + "]=" + escaped(args[i]));
        }
        for (String name : new String[] {"exe.mainConfig", "probe.mode",
                "probe.spaced", "java.class.path", "user.dir"}) {
            System.out.println("prop " + name + "=" + System.getProperty(name));
        }
        System.out.println("env PROBE_GREETING=" + System.getenv("PROBE_GREETING"));
        for (String option :
                ManagementFactory.getRuntimeMXBean().getInputArguments()) {
            System.out.println("vmoption " + escaped(option));
        }
        System.err.println("probe stderr line");
        System.out.flush();
        if (args.length >= 2 && args[0].equals("exit")) {
            System.exit(Integer.parseInt(args[1]));
        }
        if (args.length >= 2 && args[0].equals("mark")) {
            java.nio.file.Files.write(java.nio.file.Paths.get(args[1]), "ran\n".getBytes());
        }
        if (args.length >= 2 && args[0].equals("sleep")) {
            Thread.sleep(Long.parseLong(args[1]));
            System.out.println("slept");
        }
    }

    // Non-ASCII and control characters as \\uXXXX, so the output does not
    // depend on the locale.
    private static String escaped(String text) {
        StringBuilder out = new StringBuilder();
        for (char c : text.toCharArray()) {
            if (c >= 0x20 && c < 0x7f) {
                out.append(c);
            } else {
                out.append(String.format("\\u%04x", (int) c));
            }
        }
        return out.toString();
    }
}
