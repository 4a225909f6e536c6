#!/usr/bin/env python3
"""Writes a SubRip file of film dialogue for the OCR benchmark.

    gen_ocr_set.py CUES OUTPUT [--seed N]

One or two lines a cue (at most 42 characters each), from the lines below
and their pieces: questions, exclamations, dialogue dashes, quotes,
numbers, times and sums, names and words with accents. About one cue in
eight is in italics as a whole (a voice off, a song, a sign) and one in
sixteen has a few words in italics. Times fall on frames at 25 fps (whole
40 ms), so that a file read back at 25 fps has them as they were. The same
seed gives the same file.
"""

import argparse
import random

LINES = """\
Where were you last night?
I waited for two hours.
I don't know what you're talking about.
You said you'd be here at 7:30.
We have to leave. Now!
Is that really what you want?
He's not coming back, is he?
It's been 15 years since I last saw her.
Don't move.
Get down!
I'm sorry. I didn't mean it.
Can you hear me? Hello?
Whatever happens, stay close to me.
Listen to me very carefully.
The train leaves at 6:45 from platform 9.
That'll be $12.50, please.
She owes me 3,000 dollars.
Room 214, second floor.
I'll call you back in 5 minutes.
They found the car near exit 42.
He was born on May 3rd, 1987.
It's 98% water, the rest is sugar.
Call 555-0199 and ask for Mr. Hale.
We've got 24 hours, maybe less.
Chapter 11. "The Long Way Home."
Did you say "tomorrow"?
She told me, "Never trust a quiet man."
"Closed for renovation," it says.
Wait... what did you just say?
I... I can't remember.
Well, well, well. Look who's here.
Oh, my God!
No, no, no, no.
Yes, sir.
Thank you, Doctor.
Mom? Dad? Is anybody home?
Hey! Over here!
Shh! They'll hear us.
Come on, we're going to be late!
Let's get out of here.
Are you out of your mind?
You can't be serious.
I've never been more serious in my life.
Trust me, it's the only way.
How much did you pay for it?
Fifty bucks. Can you believe it?
What time is it?
Almost midnight.
The meeting's on Tuesday at 10 a.m.
Take the 8:15 to Boston.
I ordered a café au lait and a croissant.
We met at a little café in Montréal.
My fiancée, Chloé, is a lawyer.
José will pick you up at the airport.
Zoë, this is my friend François.
He sent me his résumé yesterday.
It was déjà vu all over again.
That's a bit naïve, don't you think?
Señor Ramírez is waiting outside.
Grandma made crème brûlée for dessert.
The jalapeño sauce is too hot for me.
We spent the summer in São Paulo.
Herr Müller called from Zürich.
Björn says hello from Malmö.
The façade needs a new coat of paint.
Piñata, cake and a dozen kids. Great.
It's über-cool, trust me.
I'll have the entrée, thanks.
Bon appétit, everyone!
She's the protégée of a famous painter.
Welcome to the Hôtel Belle Époque.
You know the rules.
Rule number one: no questions.
Rule number two: see rule number one.
Nobody leaves this room.
Put the gun down, Frank.
It's over, Mike. It's over.
I love you. I always have.
Why didn't you tell me?
Because you never asked.
Please, don't go.
I have to. You know I have to.
Who's there?
It's just the wind.
We're running out of time!
Hold on! Hold on!
Keep your eyes on the road.
Turn left at the next light.
How far is it?
About 20 miles north of here.
It'll take us an hour, maybe two.
Did anyone see you?
I don't think so.
You're bleeding.
It's nothing. Just a scratch.
Where's the money, Eddie?
I swear I don't have it!
Tell me the truth.
The truth? You can't handle the truth.
That's not how it works.
Then how does it work?
I'm not going anywhere without you.
Remember what Dad used to say?
"Always leave the light on."
My name is Anna. I'm 34.
I've been sober for 212 days.
Happy birthday, sweetheart!
Make a wish.
One, two, three... Smile!
Welcome back, Captain.
All systems are go.
T-minus 10 seconds.
We have liftoff!
Houston, we have a problem.
Copy that. Stand by.
Roger. Over and out.
Sir, the results are in.
And?
Positive. All 4 of them.
This changes everything.
I need a drink.
Make it a double.
Good morning, Mrs. Patel.
Good evening, ladies and gentlemen.
The show starts in 15 minutes.
Break a leg!
Where did you learn to do that?
In Paris, a long time ago.
Long story.
I've got all night.
It's 3 a.m. Go to sleep.
I can't sleep.
Me neither.
Can I ask you something?
Sure. Anything.
Do you ever think about leaving?
Every single day.
So why don't you?
Somebody has to stay.
Previously on "The Harbour"...
To be continued.
Based on a true story.
The end.
Love you too, kiddo.
See you tomorrow, 9 sharp.
Don't forget the keys!
I won't. Bye!
Mind the gap.
Next stop: Baker Street.
Ladies first.
After you, I insist.
What's the password?
Open sesame.
Very funny.
I'm not laughing.
You never do.
Okay, okay. I get it.
So, what now?
Now we wait.
For what?
For the right moment.
It's now or never.
Let's do it.
""".splitlines()

# Long sentences made of two lines above are broken where a reader would.
LIMIT = 42


def two_lines(text):
    """The text broken into two lines near its middle, or None."""
    if len(text) <= LIMIT:
        return None
    spaces = [i for i, c in enumerate(text) if c == " "]
    best = min(spaces, key=lambda i: abs(i - len(text) / 2))
    first, second = text[:best], text[best + 1 :]
    if len(first) > LIMIT or len(second) > LIMIT:
        return None
    return [first, second]


def italic_words(line, rng):
    """A few words in the middle of the line in italics."""
    words = line.split(" ")
    if len(words) < 3:
        return "<i>" + line + "</i>"
    count = rng.randint(1, min(3, len(words) - 1))
    start = rng.randint(0, len(words) - count)
    # Punctuation after the last word stays outside, as editors write it.
    last = words[start + count - 1]
    tail = ""
    while last and last[-1] in ".,!?;:\"":
        tail = last[-1] + tail
        last = last[:-1]
    head = ""
    first = words[start] if count > 1 else last
    while first and first[0] in "\"":
        head += first[0]
        first = first[1:]
    if not first or not last:
        return line
    if count == 1:
        words[start] = head + "<i>" + first + "</i>" + tail
    else:
        words[start] = head + "<i>" + first
        words[start + count - 1] = last + "</i>" + tail
    return " ".join(words)


def cue_lines(rng):
    kind = rng.random()
    if kind < 0.15:
        # Two speakers.
        a, b = rng.sample([l for l in LINES if len(l) <= LIMIT - 2], 2)
        lines = ["- " + a, "- " + b]
    elif kind < 0.55:
        joined = None
        for _ in range(20):
            a, b = rng.sample(LINES, 2)
            joined = two_lines(a + " " + b)
            if joined:
                break
        lines = joined or [rng.choice(LINES)]
    else:
        lines = [rng.choice(LINES)]
    style = rng.random()
    if style < 1 / 8:
        lines = ["<i>" + l + "</i>" for l in lines]
    elif style < 1 / 8 + 1 / 16:
        i = rng.randrange(len(lines))
        lines[i] = italic_words(lines[i], rng)
    return lines


def clock(ms):
    h, ms = divmod(ms, 3600000)
    m, ms = divmod(ms, 60000)
    s, ms = divmod(ms, 1000)
    return "%02d:%02d:%02d,%03d" % (h, m, s, ms)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("cues", type=int)
    parser.add_argument("output")
    parser.add_argument("--seed", type=int, default=1)
    args = parser.parse_args()
    rng = random.Random(args.seed)
    t = 2000
    with open(args.output, "w", encoding="utf-8", newline="\r\n") as out:
        for n in range(1, args.cues + 1):
            lines = cue_lines(rng)
            length = rng.randint(38, 125) * 40
            out.write("%d\n%s --> %s\n%s\n\n" % (n, clock(t), clock(t + length), "\n".join(lines)))
            t += length + rng.randint(5, 75) * 40


if __name__ == "__main__":
    main()
