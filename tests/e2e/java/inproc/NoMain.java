package inproc;

// Has no main(String[]): the launcher ends quietly with 0.
public class NoMain {
    public static void main(int count) {
        System.out.println("wrong main called");
    }
}
