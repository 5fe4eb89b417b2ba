package org.tarvik.instance;

import java.io.DataInputStream;
import java.io.EOFException;
import java.io.IOException;
import java.io.InputStream;
import java.net.ProtocolFamily;
import java.net.SocketAddress;
import java.net.StandardProtocolFamily;
import java.nio.ByteBuffer;
import java.nio.channels.Channels;
import java.nio.channels.ClosedChannelException;
import java.nio.channels.ServerSocketChannel;
import java.nio.channels.SocketChannel;
import java.nio.charset.StandardCharsets;
import java.util.ArrayList;
import java.util.Collections;
import java.util.List;
import java.util.Objects;
import java.util.concurrent.CopyOnWriteArrayList;
import java.util.concurrent.ExecutorService;
import java.util.concurrent.Executors;
import java.util.concurrent.ScheduledExecutorService;
import java.util.concurrent.ScheduledFuture;
import java.util.concurrent.TimeUnit;
import java.util.function.BiConsumer;
import java.util.function.Consumer;

/**
 * The arguments of a second launch of a Tarvik application with
 * {@code singleInstance}, handed to the instance that runs.
 *
 * <p>The launcher names, in the system property {@value #ENDPOINT_PROPERTY},
 * a local socket in a folder of the user's alone; {@link #listen} binds it
 * (Java 16 on, whose {@code UnixDomainSocketAddress} this class reaches by
 * reflection, so that it loads on Java 8). A second launch sends its
 * arguments there and ends with 0 once they were taken; where nobody
 * listens, it ends as without this library, with 12.
 *
 * <p>Listeners run one at a time, in the order the launches came, on a
 * thread of the library's: a Swing application hands the work on with
 * {@code SwingUtilities.invokeLater}.
 */
public final class TarvikInstance {
  /** The system property that names the endpoint. */
  public static final String ENDPOINT_PROPERTY = "tarvik.instance";

  // The launcher keeps the same bounds and framing.
  static final int MAX_ARGUMENTS = 4096;
  static final int MAX_BYTES = 1 << 20;
  static final int ACKNOWLEDGEMENT = 0x06;
  private static final byte[] MAGIC = {'T', 'V', 'K', 'A'};
  private static final int VERSION = 1;
  // A connection that sends no whole message in this time is dropped.
  private static final long READ_MILLIS = 10000;

  private static final List<BiConsumer<String, List<String>>> listeners =
      new CopyOnWriteArrayList<BiConsumer<String, List<String>>>();
  private static ServerSocketChannel server;
  private static boolean bindFailed;
  private static ExecutorService delivery;
  private static ScheduledExecutorService deadlines;

  private TarvikInstance() {}

  /**
   * Whether a second launch's arguments can reach this instance: the
   * launcher named an endpoint, this Java has local sockets (16 on), and
   * binding it has not failed.
   */
  public static synchronized boolean isForwardingAvailable() {
    return endpoint() != null && hasLocalSockets() && !bindFailed;
  }

  /**
   * Calls {@code listener} with the arguments of each second launch. The
   * first call binds the endpoint. False (and no call ever) where
   * forwarding is not available.
   */
  public static boolean listen(final Consumer<List<String>> listener) {
    Objects.requireNonNull(listener, "listener");
    return listenWithFolder(new BiConsumer<String, List<String>>() {
      @Override
      public void accept(String folder, List<String> arguments) {
        listener.accept(arguments);
      }
    });
  }

  /**
   * As {@link #listen}, the listener given the folder the second launch was
   * started in too, which relative paths among its arguments are relative to.
   */
  public static synchronized boolean listenWithFolder(
      BiConsumer<String, List<String>> listener) {
    Objects.requireNonNull(listener, "listener");
    if (!isForwardingAvailable()) return false;
    if (server == null && !bind()) return false;
    listeners.add(listener);
    return true;
  }

  private static String endpoint() {
    String path = System.getProperty(ENDPOINT_PROPERTY);
    return path == null || path.isEmpty() ? null : path;
  }

  private static boolean hasLocalSockets() {
    try {
      Class.forName("java.net.UnixDomainSocketAddress");
      return true;
    } catch (ClassNotFoundException e) {
      return false;
    }
  }

  // A UnixDomainSocketAddress (Java 16 on) for the path.
  private static SocketAddress addressOf(String path) throws ReflectiveOperationException {
    Class<?> type = Class.forName("java.net.UnixDomainSocketAddress");
    return (SocketAddress) type.getMethod("of", String.class).invoke(null, path);
  }

  private static boolean bind() {
    String path = endpoint();
    try {
      ProtocolFamily unix = StandardProtocolFamily.valueOf("UNIX");
      ServerSocketChannel channel = (ServerSocketChannel) ServerSocketChannel.class
          .getMethod("open", ProtocolFamily.class).invoke(null, unix);
      channel.bind(addressOf(path), 64);
      server = channel;
    } catch (Exception e) {
      bindFailed = true;
      Throwable cause = e.getCause() != null ? e.getCause() : e;
      System.err.println("tarvik-instance: cannot listen at " + path + ": " + cause);
      return false;
    }
    delivery = Executors.newSingleThreadExecutor(r -> daemon(r, "tarvik-instance delivery"));
    deadlines = Executors.newSingleThreadScheduledExecutor(r -> daemon(r, "tarvik-instance deadlines"));
    daemon(TarvikInstance::acceptAll, "tarvik-instance").start();
    return true;
  }

  private static Thread daemon(Runnable body, String name) {
    Thread thread = new Thread(body, name);
    thread.setDaemon(true);
    return thread;
  }

  private static void acceptAll() {
    while (true) {
      final SocketChannel connection;
      try {
        connection = server.accept();
      } catch (IOException e) {
        System.err.println("tarvik-instance: stopped listening: " + e);
        return;
      }
      // Each on its own thread, so that a slow sender holds up no other.
      daemon(() -> take(connection), "tarvik-instance connection").start();
    }
  }

  private static void take(SocketChannel connection) {
    ScheduledFuture<?> deadline = deadlines.schedule(() -> close(connection),
        READ_MILLIS, TimeUnit.MILLISECONDS);
    try {
      DataInputStream in = new DataInputStream(Channels.newInputStream(connection));
      final Message message = read(in);
      connection.write(ByteBuffer.wrap(new byte[] {(byte) ACKNOWLEDGEMENT}));
      delivery.execute(() -> deliver(message));
    } catch (BadMessage e) {
      System.err.println("tarvik-instance: a message was dropped: " + e.getMessage());
    } catch (EOFException e) {
      System.err.println("tarvik-instance: a message was dropped: it ends early");
    } catch (ClosedChannelException e) {
      System.err.println("tarvik-instance: a message was dropped: it did not come whole within "
          + READ_MILLIS + " ms");
    } catch (IOException e) {
      System.err.println("tarvik-instance: a message was dropped: " + e);
    } finally {
      deadline.cancel(false);
      close(connection);
    }
  }

  private static void deliver(Message message) {
    for (BiConsumer<String, List<String>> listener : listeners) {
      try {
        listener.accept(message.folder, message.arguments);
      } catch (RuntimeException e) {
        System.err.println("tarvik-instance: a listener failed: " + e);
        e.printStackTrace();
      }
    }
  }

  private static void close(SocketChannel connection) {
    try {
      connection.close();
    } catch (IOException ignored) {
      // Nothing is left to tell.
    }
  }

  static final class Message {
    final String folder;
    final List<String> arguments;

    Message(String folder, List<String> arguments) {
      this.folder = folder;
      this.arguments = arguments;
    }
  }

  static final class BadMessage extends IOException {
    private static final long serialVersionUID = 1L;

    BadMessage(String why) {
      super(why);
    }
  }

  /** Reads one message, within the bounds. */
  static Message read(DataInputStream in) throws IOException {
    byte[] magic = new byte[MAGIC.length];
    in.readFully(magic);
    if (!java.util.Arrays.equals(magic, MAGIC)) throw new BadMessage("not a Tarvik message");
    int version = in.readUnsignedByte();
    if (version != VERSION) throw new BadMessage("version " + version + " is not known");
    int[] left = {MAX_BYTES - MAGIC.length - 1};
    String folder = readText(in, left);
    int count = readLength(in, left);
    if (count > MAX_ARGUMENTS)
      throw new BadMessage(count + " arguments, more than " + MAX_ARGUMENTS);
    List<String> arguments = new ArrayList<String>(count);
    for (int i = 0; i < count; i++) arguments.add(readText(in, left));
    return new Message(folder, Collections.unmodifiableList(arguments));
  }

  private static int readLength(DataInputStream in, int[] left) throws IOException {
    left[0] -= 4;
    int length = in.readInt();
    if (left[0] < 0 || length < 0 || length > left[0])
      throw new BadMessage("longer than " + MAX_BYTES + " bytes");
    return length;
  }

  private static String readText(DataInputStream in, int[] left) throws IOException {
    byte[] bytes = new byte[readLength(in, left)];
    left[0] -= bytes.length;
    in.readFully(bytes);
    return new String(bytes, StandardCharsets.UTF_8);
  }
}
