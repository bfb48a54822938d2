-- wrk script: each thread (one connection each, -t equal to -c) sends its
-- own session cookie, read from the file TABRIX_BENCH_COOKIES (one
-- "tabrix_session=..." line per session).
local cookies = {}
for line in io.lines(os.getenv("TABRIX_BENCH_COOKIES")) do
  cookies[#cookies + 1] = line
end
local next_cookie = 0

function setup(thread)
  next_cookie = next_cookie % #cookies + 1
  thread:set("cookie", cookies[next_cookie])
end

function init(args)
  wrk.headers["Cookie"] = cookie
end
