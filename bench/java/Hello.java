// The trivial application the start-up benchmark runs. With an argument it
// sleeps that many milliseconds first, so the launcher's memory can be read
// while it waits.
public class Hello {
  public static void main(String[] args) throws InterruptedException {
    if (args.length > 0) Thread.sleep(Long.parseLong(args[0]));
    System.out.println("Hello");
  }
}
