-- wrk script: requests without a cookie, as crawlers and first visits send
-- them: the login page, the home page and a failed login, in turn. Each
-- thread stops after TABRIX_BENCH_REQUESTS / threads answers.
local paths = { "/Login.asp", "/", "/Login.asp" }
local counter = 0
local threads = {}

function setup(thread)
  table.insert(threads, thread)
end

function init(args)
  local total = tonumber(os.getenv("TABRIX_BENCH_REQUESTS") or "100000")
  local count = tonumber(os.getenv("TABRIX_BENCH_THREADS") or "1")
  limit = math.ceil(total / count)
  answered = 0
  origin = wrk.scheme .. "://" .. wrk.host .. ":" .. wrk.port
end

function request()
  counter = counter + 1
  local i = counter % 3 + 1
  if i == 3 then
    return wrk.format("POST", paths[i], {
      ["Content-Type"] = "application/x-www-form-urlencoded",
      ["Origin"] = origin,
    }, "username=nobody&password=wrong")
  end
  return wrk.format("GET", paths[i])
end

function response(status, headers, body)
  answered = answered + 1
  if answered >= limit then wrk.thread:stop() end
end
