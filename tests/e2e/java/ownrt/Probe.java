package ownrt;

import java.awt.Color;
import java.awt.Rectangle;
import java.awt.Robot;
import java.awt.SplashScreen;
import java.awt.Toolkit;
import java.awt.image.BufferedImage;
import java.io.File;
import javax.imageio.ImageIO;

// What an application can tell of the launcher that started it: one line
// on standard output per request.
public class Probe {
    static int depth(int n) {
        return n == 0 ? 0 : 1 + depth(n - 1);
    }

    public static void main(String[] args) throws Exception {
        switch (args[0]) {
            case "recurse":
                try {
                    depth(Integer.parseInt(args[1]));
                    System.out.println("recursed");
                } catch (StackOverflowError e) {
                    System.out.println("StackOverflowError");
                }
                break;
            case "opens":
                try {
                    String.class.getDeclaredField("value").setAccessible(true);
                    System.out.println("opened");
                } catch (RuntimeException e) {
                    System.out.println(e.getClass().getSimpleName());
                }
                break;
            case "property":
                System.out.println(System.getProperty(args[1]));
                break;
            case "image": {
                // Left half red, right half blue.
                BufferedImage image = new BufferedImage(200, 100, BufferedImage.TYPE_INT_RGB);
                for (int x = 0; x < 200; x++)
                    for (int y = 0; y < 100; y++)
                        image.setRGB(x, y, x < 100 ? 0xff0000 : 0x0000ff);
                ImageIO.write(image, "png", new File(args[1]));
                break;
            }
            case "splash": {
                SplashScreen splash = SplashScreen.getSplashScreen();
                System.out.println("splash " + (splash != null));
                if (splash == null) break;
                System.out.println("url " + splash.getImageURL());
                // The whole screen, as it shows while the splash is up.
                Rectangle screen = new Rectangle(Toolkit.getDefaultToolkit().getScreenSize());
                BufferedImage shot = new Robot().createScreenCapture(screen);
                int red = 0, blue = 0;
                for (int x = 0; x < shot.getWidth(); x++)
                    for (int y = 0; y < shot.getHeight(); y++) {
                        int rgb = shot.getRGB(x, y) & 0xffffff;
                        if (rgb == 0xff0000) red++;
                        if (rgb == 0x0000ff) blue++;
                    }
                System.out.println("red " + (red >= 10000) + " blue " + (blue >= 10000));
                splash.close();
                System.out.println("closed");
                break;
            }
        }
    }
}
