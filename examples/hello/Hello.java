// A tiny application that prints what the launcher handed it.
public class Hello {
    public static void main(String[] args) {
        System.out.println("Hello from " + System.getProperty("java.vm.name")
                + " " + System.getProperty("java.version"));
        System.out.println("greeting property: " + System.getProperty("hello.greeting"));
        System.out.println("configuration file: " + System.getProperty("exe.mainConfig"));
        System.out.println("maximum heap: " + Runtime.getRuntime().maxMemory() / (1024 * 1024) + " MiB");
        System.out.println(args.length + " argument(s):");
        for (int i = 0; i < args.length; i++) {
            System.out.println("  [" + i + "] " + args[i]);
        }
        // "--exit N" ends with that code, to see a failure passed on.
        if (args.length > 1 && args[0].equals("--exit")) {
            System.exit(Integer.parseInt(args[1]));
        }
    }
}
