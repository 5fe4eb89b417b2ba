package inproc;

// Has no main(String[]): the launcher shows the error and ends with 1.
public class NoMain {
    public static void main(int count) {
        System.out.println("wrong main called");
    }
}
