import java.nio.charset.StandardCharsets;

/**
 * The driver module's procedures from Java, through libtivcall: one JSON request in, one JSON
 * answer out (docs/hosts.md). The native methods are in libtivcall_jni.so, found on
 * java.library.path; it finds libtivcall.so and the module beside itself.
 */
public final class TivCall {
    static {
        System.loadLibrary("tivcall_jni");
    }

    private TivCall() {}

    private static native byte[] invoke(byte[] request);

    private static native void close();

    /** Sends one request (JSON text) and returns its answer (JSON text). */
    public static synchronized String call(String request) {
        byte[] answer = invoke(request.getBytes(StandardCharsets.UTF_8));
        if (answer == null) throw new IllegalStateException("libtivcall gave no answer");
        return new String(answer, StandardCharsets.UTF_8);
    }

    /** Releases the module and the printer; the next call opens them again. */
    public static synchronized void end() {
        close();
    }
}
