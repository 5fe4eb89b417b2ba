package inproc;

import java.lang.management.ManagementFactory;

// Run in the launcher's own VM; tells the test what it was given.
//   print [ARGS...]  its arguments, chosen properties and the VM's options
//   exit N           System.exit(N)
//   throw            main ends with an exception
//   thread           main returns while a non-daemon thread still works
//   restart FILE N   without FILE: makes it and asks for a restart
//                    (System.exit(999)); with it: System.exit(N)
public class Probe {
    public static void main(String[] args) throws Exception {
        String mode = args.length > 0 ? args[0] : "print";
        switch (mode) {
            case "exit":
                System.out.println("exiting");
                System.exit(Integer.parseInt(args[1]));
                break;
            case "restart":
                java.nio.file.Path marker = java.nio.file.Paths.get(args[1]);
                boolean first = !java.nio.file.Files.exists(marker);
                if (first) {
                    java.nio.file.Files.write(marker, new byte[0]);
                }
                System.out.println((first ? "first" : "second") + " run in "
                        + System.getProperty("user.dir") + " with "
                        + String.join(" ", args));
                System.out.flush();
                System.exit(first ? 999 : Integer.parseInt(args[2]));
                break;
            case "throw":
                throw new IllegalStateException("probe failure");
            case "thread":
                Thread worker = new Thread(() -> {
                    try {
                        Thread.sleep(700);
                    } catch (InterruptedException e) {
                        return;
                    }
                    System.out.println("worker done");
                });
                worker.start();
                System.out.println("main done");
                break;
            default:
                print(args);
        }
    }

    private static void print(String[] args) {
        System.out.println("argc=" + args.length);
        for (int i = 0; i < args.length; i++) {
            System.out.println("arg[" + i + "]=" + escaped(args[i]));
        }
        for (String name : new String[] {"exe.mainConfig", "probe.mode",
                "probe.home", "java.class.path", "user.dir",
                "sun.java.launcher"}) {
            System.out.println("prop " + name + "=" + System.getProperty(name));
        }
        for (String option :
                ManagementFactory.getRuntimeMXBean().getInputArguments()) {
            System.out.println("vmoption " + escaped(option));
        }
    }

    // Non-ASCII as \\uXXXX, so the output does not depend on the locale.
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
